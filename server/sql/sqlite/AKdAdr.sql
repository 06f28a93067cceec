-- Customers of the dispatch database.
CREATE TABLE IF NOT EXISTS AKdAdr (
    KdUnID INTEGER PRIMARY KEY,
    KdSuch TEXT,
    KdName TEXT,
    KdFaInfo TEXT,
    KdHausNr TEXT,
    KdPlz TEXT,
    KdVorwahl TEXT,
    KdTelefon1 TEXT,
    KdTelefon2 TEXT,
    KdTelefon3 TEXT,
    KdMobil1 TEXT,
    KdStUnID INTEGER,
    KdKzAutoBooking BOOLEAN DEFAULT 0
);
