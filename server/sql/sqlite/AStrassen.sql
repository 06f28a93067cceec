-- Streets of the dispatch database.
CREATE TABLE IF NOT EXISTS AStrassen (
    StUnID INTEGER PRIMARY KEY,
    StStrasse TEXT,
    StOrNr INTEGER
);
