-- The phone-number index: one row per number of a customer, digits only.
-- TelefonNr is NOCASE so that LIKE 'prefix%' (case-insensitive) can use the
-- same plain index as "=".
CREATE TABLE IF NOT EXISTS TTelefonNr (
    TelNrID INTEGER PRIMARY KEY AUTOINCREMENT,
    Sperre BOOLEAN DEFAULT 0,
    MandNr INTEGER DEFAULT 0,
    UnID TEXT DEFAULT '{00000000-0000-0000-0000-000000000000}',
    SuchID TEXT,
    KundenNrID INTEGER DEFAULT 0,
    Name2 TEXT,
    "Straße" TEXT,
    PLZ TEXT,
    Ort TEXT,
    TelefonNr TEXT COLLATE NOCASE,
    KundenArt INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS TTelefonNr_TelefonNr ON TTelefonNr (TelefonNr);
