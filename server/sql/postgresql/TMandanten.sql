-- Tenants.
CREATE TABLE IF NOT EXISTS TMandanten (
    MandNr integer PRIMARY KEY,
    MandName text
);
