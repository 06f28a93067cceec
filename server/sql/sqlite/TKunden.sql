-- Customers of the customer-management database (source of the index build).
-- Dates are kept as text yyyy/mm/dd.
CREATE TABLE IF NOT EXISTS TKunden (
    MandNr INTEGER DEFAULT 0,
    UnID TEXT DEFAULT '{00000000-0000-0000-0000-000000000000}',
    SuchID TEXT,
    KundenNrID INTEGER,
    Name2 TEXT,
    "Straße" TEXT,
    PLZ TEXT,
    Ort TEXT,
    Vorwahl TEXT,
    Telefon1 TEXT,
    Telefon2 TEXT,
    Telefon3 TEXT,
    Mobil TEXT,
    KundenArt INTEGER DEFAULT 0,
    KundeSeit TEXT
);
-- The customer's numeric identifier is unique (several Null are allowed).
CREATE UNIQUE INDEX IF NOT EXISTS TKunden_KundenNrID ON TKunden (KundenNrID);
