-- Towns of the dispatch database.
CREATE TABLE IF NOT EXISTS AOrte (
    OrNr INTEGER PRIMARY KEY,
    OrOrt TEXT
);
