-- Customers of the customer-management database (source of the index build).
CREATE TABLE IF NOT EXISTS TKunden (
    MandNr integer DEFAULT 0,
    UnID varchar(38) DEFAULT '{00000000-0000-0000-0000-000000000000}',
    SuchID text,
    KundenNrID integer,
    Name2 text,
    Straße text,
    PLZ text,
    Ort text,
    Vorwahl text,
    Telefon1 text,
    Telefon2 text,
    Telefon3 text,
    Mobil text,
    KundenArt integer DEFAULT 0,
    KundeSeit date
);
-- The customer's numeric identifier is unique (several Null are allowed).
CREATE UNIQUE INDEX IF NOT EXISTS tkunden_kundennrid ON TKunden (KundenNrID);
