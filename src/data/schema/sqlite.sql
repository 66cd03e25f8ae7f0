-- Job tracker schema, SQLite dialect.
-- Statements are separated by lines holding only GO; the admin tool's
-- init runs them one by one in a single transaction.
-- Text columns carry the widths the report field definitions declare; a
-- username is matched without regard to case by the program itself.
-- A table or column marked "-- addition" (a comment line before CREATE TABLE,
-- or at the end of the column's line) is the program's own: the databases of
-- older installations may lack it, check reports it as to be added and
-- upgrade adds it. Everything else is required. The three dialects' scripts
-- mark the same tables and columns.

-- addition: the schema version, which upgrade reads and raises step by step
CREATE TABLE SchemaVersion (
    Version INTEGER
)
GO
CREATE TABLE Company (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    Address1 TEXT,
    Address2 TEXT,
    City TEXT,
    State TEXT,
    Zip TEXT,
    Phone TEXT,
    Fax TEXT,
    Email TEXT,
    Website TEXT,
    KeyPressDelay REAL,
    QBItemName TEXT,
    QBItemDescription TEXT,
    QBItemAmount REAL,
    DryingDays INTEGER,
    TemperatureUnit TEXT, -- addition (upgrade step 4): "F" or "C" for the drying log
    DryingLogAlert BOOLEAN, -- addition (upgrade step 4): the board alert follows the drying log
    BillEquipmentDays BOOLEAN, -- addition (upgrade step 8): invoices bill the equipment-days
    BackupsToKeep INTEGER, -- addition (upgrade step 10): automatic backups kept (NULL: 14)
    ProgramBackups BOOLEAN, -- addition (upgrade step 12): the program makes the backups and reminds of them (NULL: on for the embedded database, off for a server)
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE State (
    State TEXT
)
GO
CREATE TABLE WIPJobType (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE WIPSoftware (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE WIPPayment (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE WIPTypeOfService (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE WIPStatus (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT,
    ColorCode TEXT,
    RowVersion INTEGER NOT NULL DEFAULT 0, -- addition (upgrade step 6): the row's version, which the database moves on at every change
    AlertDays INTEGER -- addition (upgrade step 14): days a job may stay in this status before the board alerts (NULL: never)
)
GO
CREATE TABLE EmployeeType (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE Permission (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT
)
GO
CREATE TABLE Employee (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FirstName TEXT,
    MiddleName TEXT,
    LastName TEXT,
    Address1 TEXT,
    Address2 TEXT,
    City TEXT,
    State TEXT,
    Zip TEXT,
    Email TEXT,
    Phone1 TEXT,
    Phone2 TEXT,
    Fax TEXT,
    Inactive BOOLEAN,
    UserTypeID INTEGER,
    Username TEXT COLLATE NOCASE,
    Password TEXT,
    EnteredBy TEXT,
    EnteredDate DATETIME,
    EditedBy TEXT,
    EditedDate DATETIME,
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE UserPermission (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    UserID INTEGER,
    PermissionID INTEGER
)
GO
CREATE TABLE EmployeeLog (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    UserID INTEGER,
    Action TEXT,
    LogDate DATETIME
)
GO
CREATE TABLE WIP (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Customer TEXT,
    Address TEXT,
    City TEXT,
    State TEXT,
    Zip TEXT,
    Phone TEXT,
    JobType TEXT,
    Status TEXT,
    Rep TEXT,
    StartDate DATETIME,
    CheckDryingDays BOOLEAN,
    DryingDays REAL,
    Insurance TEXT,
    Agent TEXT,
    Adjuster TEXT,
    Paperwork TEXT,
    InitialScope TEXT,
    Software TEXT,
    TypeOfPayment TEXT,
    Rugs REAL,
    RugsCleaned BOOLEAN,
    Itel BOOLEAN,
    ItelDate DATETIME,
    AdjusterUpdatedDate DATETIME,
    AdjusterUpdatedBy TEXT,
    CarpetCleanRooms REAL,
    HowHear TEXT,
    TimeOfService TEXT,
    TypeOfService TEXT,
    EstimateComplete BOOLEAN,
    Billed BOOLEAN,
    COS BOOLEAN,
    MoveOut BOOLEAN,
    CleanHVAC BOOLEAN,
    ContentsCleaned BOOLEAN,
    Photos BOOLEAN,
    AmountBilled REAL,
    InvoiceID TEXT,
    Notes TEXT,
    EnteredBy TEXT,
    EnteredDate DATETIME,
    EditedBy TEXT,
    EditedDate DATETIME,
    QBID TEXT,
    RowVersion INTEGER NOT NULL DEFAULT 0, -- addition (upgrade step 6): the row's version, which the database moves on at every change
    StatusSince DATETIME -- addition (upgrade step 14): when its status last changed, kept by the history trigger (NULL: never since it was entered)
)
GO
CREATE TABLE WIPContractors (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    WIPID INTEGER,
    Contractor TEXT
)
GO
CREATE TABLE EmployeeTime (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    EmployeeID INTEGER,
    WIPID INTEGER,
    TranDate DATETIME,
    Hours REAL,
    Notes TEXT,
    EnteredBy TEXT,
    EnteredDate DATETIME,
    EditedBy TEXT,
    EditedDate DATETIME,
    Revision INTEGER NOT NULL DEFAULT 0, -- addition (upgrade step 4): counts the saves; a save checks it to refuse a lost update
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): the drying log. A job's rooms, one "Outside" each
CREATE TABLE DryingRoom (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    WIPID INTEGER,
    Name TEXT,
    Affected BOOLEAN,
    Outside BOOLEAN,
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): a room's temperature (always in degrees F) and
-- relative humidity
CREATE TABLE DryingAtmosphere (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    RoomID INTEGER CONSTRAINT FK_DryingAtmosphere_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    TakenAt DATETIME,
    Temperature REAL,
    Humidity REAL,
    EnteredBy TEXT,
    EnteredDate DATETIME,
    EditedBy TEXT,
    EditedDate DATETIME,
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): a point on a material read until it reaches its dry goal
CREATE TABLE MoisturePoint (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    RoomID INTEGER CONSTRAINT FK_MoisturePoint_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    Material TEXT,
    Location TEXT,
    Meter TEXT,
    DryGoal REAL,
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): one value per point and day (TakenAt at midnight)
CREATE TABLE MoistureReading (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    PointID INTEGER CONSTRAINT FK_MoistureReading_PointID REFERENCES MoisturePoint (ID) ON DELETE CASCADE,
    TakenAt DATETIME,
    Value REAL,
    EnteredBy TEXT,
    EnteredDate DATETIME,
    EditedBy TEXT,
    EditedDate DATETIME,
    RowVersion INTEGER NOT NULL DEFAULT 0 -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 7): failed logins in a row per user name (trimmed,
-- case-folded; unknown names too), kept here so that a restart of the
-- program does not reset the wait they impose
CREATE TABLE LoginFailure (
    UserKey TEXT NOT NULL PRIMARY KEY,
    Failures INTEGER NOT NULL DEFAULT 0,
    LastFailedAt DATETIME
)
GO
-- addition (upgrade step 8): the office's drying equipment, one row per unit;
-- Pints is a dehumidifier's rated pints a day
CREATE TABLE Equipment (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    AssetNo TEXT NOT NULL UNIQUE,
    EquipType TEXT,
    DehuKind TEXT,
    Pints REAL,
    Description TEXT,
    Retired BOOLEAN,
    RowVersion INTEGER NOT NULL DEFAULT 0
)
GO
-- addition (upgrade step 8): a unit standing in a room of a job from PlacedAt
-- until RemovedAt (NULL while it stands there); kept after removal for the bill
CREATE TABLE EquipmentPlacement (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    EquipmentID INTEGER CONSTRAINT FK_EquipmentPlacement_EquipmentID REFERENCES Equipment (ID),
    RoomID INTEGER CONSTRAINT FK_EquipmentPlacement_RoomID REFERENCES DryingRoom (ID),
    PlacedAt DATETIME,
    RemovedAt DATETIME,
    RowVersion INTEGER NOT NULL DEFAULT 0
)
GO
-- addition (upgrade step 8): a room's size in feet and its class of water (1-4),
-- for sizing its equipment; one row per room
CREATE TABLE RoomSizing (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    RoomID INTEGER CONSTRAINT FK_RoomSizing_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    Length REAL,
    Width REAL,
    Height REAL,
    WetWallHeight REAL,
    WaterClass INTEGER,
    RowVersion INTEGER NOT NULL DEFAULT 0
)
GO
-- addition (upgrade step 8): the dehumidification factors per kind and class of
-- water: cubic feet per pint a day, for desiccants air changes an hour; NULL
-- where the kind is not used for the class
CREATE TABLE DehuFactor (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    DehuKind TEXT,
    WaterClass INTEGER,
    Factor REAL
)
GO
-- addition (upgrade step 8): per equipment type its QuickBooks item and daily rate
CREATE TABLE EquipmentRate (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    EquipType TEXT,
    QBItemName TEXT,
    DailyRate REAL,
    RowVersion INTEGER NOT NULL DEFAULT 0
)
GO
-- addition (upgrade step 10): every backup made of this database (by the
-- program on exit or on demand, or by jobtracker-admin), so that each PC
-- can tell when the last one was made
CREATE TABLE BackupLog (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    MadeAt DATETIME NOT NULL,
    FileName TEXT,
    MadeBy TEXT,
    Automatic BOOLEAN
)
GO
-- addition (upgrade step 12): when each user was last reminded to make a
-- backup, so that the reminder comes at most once a day wherever he logs in
CREATE TABLE BackupReminder (
    EmployeeID INTEGER NOT NULL PRIMARY KEY,
    RemindedAt DATETIME
)
GO
-- addition (upgrade step 11): the photos and documents of a job, each
-- perhaps of one of its drying rooms or moisture points; Kind is "photo" or
-- "document". Content holds the file as it came, Thumbnail a small JPEG of a
-- photo (NULL for a document), so that a list reads no original. Content
-- comes last: SQLite reads a row's columns in order, and the list's columns
-- before it never walk the original's overflow pages.
CREATE TABLE JobFile (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    WIPID INTEGER NOT NULL,
    RoomID INTEGER CONSTRAINT FK_JobFile_RoomID REFERENCES DryingRoom (ID),
    PointID INTEGER CONSTRAINT FK_JobFile_PointID REFERENCES MoisturePoint (ID),
    FileName TEXT,
    Kind TEXT,
    Caption TEXT,
    TakenAt DATETIME,
    AddedBy TEXT,
    AddedAt DATETIME,
    Width INTEGER,
    Height INTEGER,
    FileSize INTEGER,
    Thumbnail BLOB,
    RowVersion INTEGER NOT NULL DEFAULT 0,
    Content BLOB
)
GO
-- addition (upgrade step 13): the field page's sign-ins, one row per phone
-- signed in; the token itself is never stored, only its SHA-256
CREATE TABLE FieldSession (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    TokenHash TEXT NOT NULL,
    EmployeeID INTEGER NOT NULL,
    CsrfToken TEXT NOT NULL,
    CreatedAt DATETIME NOT NULL,
    LastSeenAt DATETIME NOT NULL
)
GO
-- addition (upgrade step 13): the id a phone gave each entry it sent, with
-- what was stored for it, so that an entry sent twice is stored once
CREATE TABLE FieldEntry (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    EntryID TEXT NOT NULL,
    EmployeeID INTEGER,
    Kind TEXT,
    StoredID INTEGER,
    StoredAt DATETIME
)
GO
-- addition (upgrade step 13): each field server running, with the address a
-- phone opens and its certificate's fingerprint; refreshed every minute
CREATE TABLE FieldServer (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Address TEXT,
    Fingerprint TEXT,
    StartedAt DATETIME,
    SeenAt DATETIME
)
GO
-- addition (upgrade step 14): every change to a job, one row per field, and
-- a row for a job entered or deleted and a subcontractor added or removed;
-- written by the triggers below, whoever changes the job
CREATE TABLE WIPHistory (
    ID INTEGER PRIMARY KEY, -- without AUTOINCREMENT: no counter row to write at every change
    WIPID INTEGER,
    ChangedAt DATETIME,
    ChangedBy TEXT,
    Field TEXT,
    Was TEXT,
    Now TEXT
)
GO
-- SQLite has no procedures: the program writes the EmployeeLog row of
-- EmployeeLogin/EmployeeLogoff itself.
GO
-- addition (upgrade step 6): any writer's change moves the row's version on
CREATE TRIGGER IF NOT EXISTS TR_Company_RowVersion AFTER UPDATE ON Company FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE Company SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIPStatus_RowVersion AFTER UPDATE ON WIPStatus FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE WIPStatus SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
-- A login that replaces a plain-text password by its hash changes nothing
-- an employee save writes back unasked, so the password is left out.
CREATE TRIGGER IF NOT EXISTS TR_Employee_RowVersion AFTER UPDATE OF FirstName, MiddleName, LastName, Address1, Address2, City, State, Zip, Email, Phone1, Phone2, Fax, Inactive, UserTypeID, Username, EnteredBy, EnteredDate, EditedBy, EditedDate ON Employee FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE Employee SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_RowVersion AFTER UPDATE ON WIP FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE WIP SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_EmployeeTime_RowVersion AFTER UPDATE ON EmployeeTime FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE EmployeeTime SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_DryingRoom_RowVersion AFTER UPDATE ON DryingRoom FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE DryingRoom SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_DryingAtmosphere_RowVersion AFTER UPDATE ON DryingAtmosphere FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE DryingAtmosphere SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_MoisturePoint_RowVersion AFTER UPDATE ON MoisturePoint FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE MoisturePoint SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_MoistureReading_RowVersion AFTER UPDATE ON MoistureReading FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE MoistureReading SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
-- addition (upgrade step 8): the equipment tables' row versions
CREATE TRIGGER IF NOT EXISTS TR_Equipment_RowVersion AFTER UPDATE ON Equipment FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE Equipment SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_EquipmentPlacement_RowVersion AFTER UPDATE ON EquipmentPlacement FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE EquipmentPlacement SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_RoomSizing_RowVersion AFTER UPDATE ON RoomSizing FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE RoomSizing SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_EquipmentRate_RowVersion AFTER UPDATE ON EquipmentRate FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE EquipmentRate SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
-- addition (upgrade step 11): the job files' row versions
CREATE TRIGGER IF NOT EXISTS TR_JobFile_RowVersion AFTER UPDATE ON JobFile FOR EACH ROW
WHEN NEW.RowVersion = OLD.RowVersion
BEGIN
    UPDATE JobFile SET RowVersion = OLD.RowVersion + 1 WHERE ID = NEW.ID;
END
GO
-- addition (upgrade step 14): the job history. The rows name their writer
-- "outside the program"; the program's own connection puts its user's name
-- in their place (Connection::setHistoryUser). Values are kept as the entry
-- screen shows them: dates MM/DD/YYYY, flags Yes or No, numbers to two places.
-- DryingDays (recounted at every save), the stamps and the row version are
-- not kept.
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Insert AFTER INSERT ON WIP FOR EACH ROW
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Job', '', 'Created');
END
GO
-- One trigger a column, each coded into a statement only when the statement
-- sets that column: a save compiles the triggers of what it changes alone.
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Customer AFTER UPDATE OF Customer ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Customer AS TEXT), '') IS NOT COALESCE(CAST(NEW.Customer AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Customer', COALESCE(CAST(OLD.Customer AS TEXT), ''), COALESCE(CAST(NEW.Customer AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Address AFTER UPDATE OF Address ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Address AS TEXT), '') IS NOT COALESCE(CAST(NEW.Address AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Address', COALESCE(CAST(OLD.Address AS TEXT), ''), COALESCE(CAST(NEW.Address AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_City AFTER UPDATE OF City ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.City AS TEXT), '') IS NOT COALESCE(CAST(NEW.City AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'City', COALESCE(CAST(OLD.City AS TEXT), ''), COALESCE(CAST(NEW.City AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_State AFTER UPDATE OF State ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.State AS TEXT), '') IS NOT COALESCE(CAST(NEW.State AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'State', COALESCE(CAST(OLD.State AS TEXT), ''), COALESCE(CAST(NEW.State AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Zip AFTER UPDATE OF Zip ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Zip AS TEXT), '') IS NOT COALESCE(CAST(NEW.Zip AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Zip', COALESCE(CAST(OLD.Zip AS TEXT), ''), COALESCE(CAST(NEW.Zip AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Phone AFTER UPDATE OF Phone ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Phone AS TEXT), '') IS NOT COALESCE(CAST(NEW.Phone AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Phone', COALESCE(CAST(OLD.Phone AS TEXT), ''), COALESCE(CAST(NEW.Phone AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_JobType AFTER UPDATE OF JobType ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.JobType AS TEXT), '') IS NOT COALESCE(CAST(NEW.JobType AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'JobType', COALESCE(CAST(OLD.JobType AS TEXT), ''), COALESCE(CAST(NEW.JobType AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Status AFTER UPDATE OF Status ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Status AS TEXT), '') IS NOT COALESCE(CAST(NEW.Status AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Status', COALESCE(CAST(OLD.Status AS TEXT), ''), COALESCE(CAST(NEW.Status AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Rep AFTER UPDATE OF Rep ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Rep AS TEXT), '') IS NOT COALESCE(CAST(NEW.Rep AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Rep', COALESCE(CAST(OLD.Rep AS TEXT), ''), COALESCE(CAST(NEW.Rep AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_StartDate AFTER UPDATE OF StartDate ON WIP FOR EACH ROW
WHEN COALESCE(strftime('%m/%d/%Y', OLD.StartDate), CAST(OLD.StartDate AS TEXT), '') IS NOT COALESCE(strftime('%m/%d/%Y', NEW.StartDate), CAST(NEW.StartDate AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'StartDate', COALESCE(strftime('%m/%d/%Y', OLD.StartDate), CAST(OLD.StartDate AS TEXT), ''), COALESCE(strftime('%m/%d/%Y', NEW.StartDate), CAST(NEW.StartDate AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_CheckDryingDays AFTER UPDATE OF CheckDryingDays ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.CheckDryingDays THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.CheckDryingDays THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'CheckDryingDays', CASE WHEN OLD.CheckDryingDays THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.CheckDryingDays THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Insurance AFTER UPDATE OF Insurance ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Insurance AS TEXT), '') IS NOT COALESCE(CAST(NEW.Insurance AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Insurance', COALESCE(CAST(OLD.Insurance AS TEXT), ''), COALESCE(CAST(NEW.Insurance AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Agent AFTER UPDATE OF Agent ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Agent AS TEXT), '') IS NOT COALESCE(CAST(NEW.Agent AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Agent', COALESCE(CAST(OLD.Agent AS TEXT), ''), COALESCE(CAST(NEW.Agent AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Adjuster AFTER UPDATE OF Adjuster ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Adjuster AS TEXT), '') IS NOT COALESCE(CAST(NEW.Adjuster AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Adjuster', COALESCE(CAST(OLD.Adjuster AS TEXT), ''), COALESCE(CAST(NEW.Adjuster AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Paperwork AFTER UPDATE OF Paperwork ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Paperwork AS TEXT), '') IS NOT COALESCE(CAST(NEW.Paperwork AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Paperwork', COALESCE(CAST(OLD.Paperwork AS TEXT), ''), COALESCE(CAST(NEW.Paperwork AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_InitialScope AFTER UPDATE OF InitialScope ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.InitialScope AS TEXT), '') IS NOT COALESCE(CAST(NEW.InitialScope AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'InitialScope', COALESCE(CAST(OLD.InitialScope AS TEXT), ''), COALESCE(CAST(NEW.InitialScope AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Software AFTER UPDATE OF Software ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Software AS TEXT), '') IS NOT COALESCE(CAST(NEW.Software AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Software', COALESCE(CAST(OLD.Software AS TEXT), ''), COALESCE(CAST(NEW.Software AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_TypeOfPayment AFTER UPDATE OF TypeOfPayment ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.TypeOfPayment AS TEXT), '') IS NOT COALESCE(CAST(NEW.TypeOfPayment AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'TypeOfPayment', COALESCE(CAST(OLD.TypeOfPayment AS TEXT), ''), COALESCE(CAST(NEW.TypeOfPayment AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Rugs AFTER UPDATE OF Rugs ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.Rugs IS NULL THEN '' WHEN ROUND(OLD.Rugs, 2) = CAST(ROUND(OLD.Rugs, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.Rugs, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.Rugs, 2) AS TEXT) END IS NOT CASE WHEN NEW.Rugs IS NULL THEN '' WHEN ROUND(NEW.Rugs, 2) = CAST(ROUND(NEW.Rugs, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.Rugs, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.Rugs, 2) AS TEXT) END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Rugs', CASE WHEN OLD.Rugs IS NULL THEN '' WHEN ROUND(OLD.Rugs, 2) = CAST(ROUND(OLD.Rugs, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.Rugs, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.Rugs, 2) AS TEXT) END, CASE WHEN NEW.Rugs IS NULL THEN '' WHEN ROUND(NEW.Rugs, 2) = CAST(ROUND(NEW.Rugs, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.Rugs, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.Rugs, 2) AS TEXT) END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_RugsCleaned AFTER UPDATE OF RugsCleaned ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.RugsCleaned THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.RugsCleaned THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'RugsCleaned', CASE WHEN OLD.RugsCleaned THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.RugsCleaned THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Itel AFTER UPDATE OF Itel ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.Itel THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.Itel THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Itel', CASE WHEN OLD.Itel THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.Itel THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_ItelDate AFTER UPDATE OF ItelDate ON WIP FOR EACH ROW
WHEN COALESCE(strftime('%m/%d/%Y', OLD.ItelDate), CAST(OLD.ItelDate AS TEXT), '') IS NOT COALESCE(strftime('%m/%d/%Y', NEW.ItelDate), CAST(NEW.ItelDate AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'ItelDate', COALESCE(strftime('%m/%d/%Y', OLD.ItelDate), CAST(OLD.ItelDate AS TEXT), ''), COALESCE(strftime('%m/%d/%Y', NEW.ItelDate), CAST(NEW.ItelDate AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_AdjusterUpdatedDate AFTER UPDATE OF AdjusterUpdatedDate ON WIP FOR EACH ROW
WHEN COALESCE(strftime('%m/%d/%Y', OLD.AdjusterUpdatedDate), CAST(OLD.AdjusterUpdatedDate AS TEXT), '') IS NOT COALESCE(strftime('%m/%d/%Y', NEW.AdjusterUpdatedDate), CAST(NEW.AdjusterUpdatedDate AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'AdjusterUpdatedDate', COALESCE(strftime('%m/%d/%Y', OLD.AdjusterUpdatedDate), CAST(OLD.AdjusterUpdatedDate AS TEXT), ''), COALESCE(strftime('%m/%d/%Y', NEW.AdjusterUpdatedDate), CAST(NEW.AdjusterUpdatedDate AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_AdjusterUpdatedBy AFTER UPDATE OF AdjusterUpdatedBy ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.AdjusterUpdatedBy AS TEXT), '') IS NOT COALESCE(CAST(NEW.AdjusterUpdatedBy AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'AdjusterUpdatedBy', COALESCE(CAST(OLD.AdjusterUpdatedBy AS TEXT), ''), COALESCE(CAST(NEW.AdjusterUpdatedBy AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_CarpetCleanRooms AFTER UPDATE OF CarpetCleanRooms ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.CarpetCleanRooms IS NULL THEN '' WHEN ROUND(OLD.CarpetCleanRooms, 2) = CAST(ROUND(OLD.CarpetCleanRooms, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.CarpetCleanRooms, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.CarpetCleanRooms, 2) AS TEXT) END IS NOT CASE WHEN NEW.CarpetCleanRooms IS NULL THEN '' WHEN ROUND(NEW.CarpetCleanRooms, 2) = CAST(ROUND(NEW.CarpetCleanRooms, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.CarpetCleanRooms, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.CarpetCleanRooms, 2) AS TEXT) END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'CarpetCleanRooms', CASE WHEN OLD.CarpetCleanRooms IS NULL THEN '' WHEN ROUND(OLD.CarpetCleanRooms, 2) = CAST(ROUND(OLD.CarpetCleanRooms, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.CarpetCleanRooms, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.CarpetCleanRooms, 2) AS TEXT) END, CASE WHEN NEW.CarpetCleanRooms IS NULL THEN '' WHEN ROUND(NEW.CarpetCleanRooms, 2) = CAST(ROUND(NEW.CarpetCleanRooms, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.CarpetCleanRooms, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.CarpetCleanRooms, 2) AS TEXT) END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_HowHear AFTER UPDATE OF HowHear ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.HowHear AS TEXT), '') IS NOT COALESCE(CAST(NEW.HowHear AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'HowHear', COALESCE(CAST(OLD.HowHear AS TEXT), ''), COALESCE(CAST(NEW.HowHear AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_TimeOfService AFTER UPDATE OF TimeOfService ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.TimeOfService AS TEXT), '') IS NOT COALESCE(CAST(NEW.TimeOfService AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'TimeOfService', COALESCE(CAST(OLD.TimeOfService AS TEXT), ''), COALESCE(CAST(NEW.TimeOfService AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_TypeOfService AFTER UPDATE OF TypeOfService ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.TypeOfService AS TEXT), '') IS NOT COALESCE(CAST(NEW.TypeOfService AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'TypeOfService', COALESCE(CAST(OLD.TypeOfService AS TEXT), ''), COALESCE(CAST(NEW.TypeOfService AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_EstimateComplete AFTER UPDATE OF EstimateComplete ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.EstimateComplete THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.EstimateComplete THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'EstimateComplete', CASE WHEN OLD.EstimateComplete THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.EstimateComplete THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Billed AFTER UPDATE OF Billed ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.Billed THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.Billed THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Billed', CASE WHEN OLD.Billed THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.Billed THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_COS AFTER UPDATE OF COS ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.COS THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.COS THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'COS', CASE WHEN OLD.COS THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.COS THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_MoveOut AFTER UPDATE OF MoveOut ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.MoveOut THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.MoveOut THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'MoveOut', CASE WHEN OLD.MoveOut THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.MoveOut THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_CleanHVAC AFTER UPDATE OF CleanHVAC ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.CleanHVAC THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.CleanHVAC THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'CleanHVAC', CASE WHEN OLD.CleanHVAC THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.CleanHVAC THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_ContentsCleaned AFTER UPDATE OF ContentsCleaned ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.ContentsCleaned THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.ContentsCleaned THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'ContentsCleaned', CASE WHEN OLD.ContentsCleaned THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.ContentsCleaned THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Photos AFTER UPDATE OF Photos ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.Photos THEN 'Yes' ELSE 'No' END IS NOT CASE WHEN NEW.Photos THEN 'Yes' ELSE 'No' END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Photos', CASE WHEN OLD.Photos THEN 'Yes' ELSE 'No' END, CASE WHEN NEW.Photos THEN 'Yes' ELSE 'No' END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_AmountBilled AFTER UPDATE OF AmountBilled ON WIP FOR EACH ROW
WHEN CASE WHEN OLD.AmountBilled IS NULL THEN '' WHEN ROUND(OLD.AmountBilled, 2) = CAST(ROUND(OLD.AmountBilled, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.AmountBilled, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.AmountBilled, 2) AS TEXT) END IS NOT CASE WHEN NEW.AmountBilled IS NULL THEN '' WHEN ROUND(NEW.AmountBilled, 2) = CAST(ROUND(NEW.AmountBilled, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.AmountBilled, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.AmountBilled, 2) AS TEXT) END
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'AmountBilled', CASE WHEN OLD.AmountBilled IS NULL THEN '' WHEN ROUND(OLD.AmountBilled, 2) = CAST(ROUND(OLD.AmountBilled, 2) AS INTEGER) THEN CAST(CAST(ROUND(OLD.AmountBilled, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(OLD.AmountBilled, 2) AS TEXT) END, CASE WHEN NEW.AmountBilled IS NULL THEN '' WHEN ROUND(NEW.AmountBilled, 2) = CAST(ROUND(NEW.AmountBilled, 2) AS INTEGER) THEN CAST(CAST(ROUND(NEW.AmountBilled, 2) AS INTEGER) AS TEXT) ELSE CAST(ROUND(NEW.AmountBilled, 2) AS TEXT) END);
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_InvoiceID AFTER UPDATE OF InvoiceID ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.InvoiceID AS TEXT), '') IS NOT COALESCE(CAST(NEW.InvoiceID AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'InvoiceID', COALESCE(CAST(OLD.InvoiceID AS TEXT), ''), COALESCE(CAST(NEW.InvoiceID AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Notes AFTER UPDATE OF Notes ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Notes AS TEXT), '') IS NOT COALESCE(CAST(NEW.Notes AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Notes', COALESCE(CAST(OLD.Notes AS TEXT), ''), COALESCE(CAST(NEW.Notes AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_QBID AFTER UPDATE OF QBID ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.QBID AS TEXT), '') IS NOT COALESCE(CAST(NEW.QBID AS TEXT), '')
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'QBID', COALESCE(CAST(OLD.QBID AS TEXT), ''), COALESCE(CAST(NEW.QBID AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_History_Delete AFTER DELETE ON WIP FOR EACH ROW
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (OLD.ID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Job', COALESCE(CAST(OLD.Customer AS TEXT), ''), 'Deleted');
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIP_StatusSince AFTER UPDATE OF Status ON WIP FOR EACH ROW
WHEN COALESCE(CAST(OLD.Status AS TEXT), '') IS NOT COALESCE(CAST(NEW.Status AS TEXT), '')
BEGIN
    UPDATE WIP SET StatusSince = strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime') WHERE ID = NEW.ID;
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIPContractors_History_Insert AFTER INSERT ON WIPContractors FOR EACH ROW
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.WIPID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Contractor', '', COALESCE(CAST(NEW.Contractor AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIPContractors_History_Update AFTER UPDATE ON WIPContractors FOR EACH ROW
WHEN OLD.WIPID IS NOT NEW.WIPID OR OLD.Contractor IS NOT NEW.Contractor
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (OLD.WIPID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Contractor', COALESCE(CAST(OLD.Contractor AS TEXT), ''), '');
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (NEW.WIPID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Contractor', '', COALESCE(CAST(NEW.Contractor AS TEXT), ''));
END
GO
CREATE TRIGGER IF NOT EXISTS TR_WIPContractors_History_Delete AFTER DELETE ON WIPContractors FOR EACH ROW
BEGIN
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    VALUES (OLD.WIPID, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'), 'outside the program', 'Contractor', COALESCE(CAST(OLD.Contractor AS TEXT), ''), '');
END
GO
