-- Tenants.
CREATE TABLE IF NOT EXISTS TMandanten (
    MandNr INTEGER PRIMARY KEY,
    MandName TEXT
);
