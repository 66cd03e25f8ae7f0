-- Job tracker schema, SQL Server (T-SQL) dialect.
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
    Version INT
)
GO
CREATE TABLE Company (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250),
    Address1 NVARCHAR(250),
    Address2 NVARCHAR(250),
    City NVARCHAR(250),
    State NVARCHAR(250),
    Zip NVARCHAR(250),
    Phone NVARCHAR(50),
    Fax NVARCHAR(50),
    Email NVARCHAR(250),
    Website NVARCHAR(250),
    KeyPressDelay FLOAT,
    QBItemName NVARCHAR(250),
    QBItemDescription NVARCHAR(250),
    QBItemAmount FLOAT,
    DryingDays INT,
    TemperatureUnit NVARCHAR(1), -- addition (upgrade step 4): "F" or "C" for the drying log
    DryingLogAlert BIT, -- addition (upgrade step 4): the board alert follows the drying log
    BillEquipmentDays BIT, -- addition (upgrade step 8): invoices bill the equipment-days
    BackupsToKeep INT, -- addition (upgrade step 10): automatic backups kept (NULL: 14)
    ProgramBackups BIT, -- addition (upgrade step 12): the program makes the backups and reminds of them (NULL: on for the embedded database, off for a server)
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE State (
    State NVARCHAR(50)
)
GO
CREATE TABLE WIPJobType (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250)
)
GO
CREATE TABLE WIPSoftware (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250)
)
GO
CREATE TABLE WIPPayment (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250)
)
GO
CREATE TABLE WIPTypeOfService (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250)
)
GO
CREATE TABLE WIPStatus (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(250),
    ColorCode NVARCHAR(50),
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE EmployeeType (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(50)
)
GO
CREATE TABLE Permission (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Name NVARCHAR(100)
)
GO
CREATE TABLE Employee (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    FirstName NVARCHAR(50),
    MiddleName NVARCHAR(50),
    LastName NVARCHAR(50),
    Address1 NVARCHAR(250),
    Address2 NVARCHAR(250),
    City NVARCHAR(250),
    State NVARCHAR(50),
    Zip NVARCHAR(50),
    Email NVARCHAR(250),
    Phone1 NVARCHAR(50),
    Phone2 NVARCHAR(50),
    Fax NVARCHAR(50),
    Inactive BIT,
    UserTypeID INT,
    Username NVARCHAR(50),
    Password NVARCHAR(255),
    EnteredBy NVARCHAR(50),
    EnteredDate DATETIME,
    EditedBy NVARCHAR(50),
    EditedDate DATETIME,
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE UserPermission (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    UserID INT,
    PermissionID INT
)
GO
CREATE TABLE EmployeeLog (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    UserID BIGINT,
    Action NVARCHAR(20),
    LogDate DATETIME
)
GO
CREATE TABLE WIP (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Customer NVARCHAR(250),
    Address NVARCHAR(250),
    City NVARCHAR(250),
    State NVARCHAR(250),
    Zip NVARCHAR(250),
    Phone NVARCHAR(250),
    JobType NVARCHAR(250),
    Status NVARCHAR(250),
    Rep NVARCHAR(250),
    StartDate DATETIME,
    CheckDryingDays BIT,
    DryingDays FLOAT,
    Insurance NVARCHAR(250),
    Agent NVARCHAR(250),
    Adjuster NVARCHAR(250),
    Paperwork NVARCHAR(250),
    InitialScope NVARCHAR(250),
    Software NVARCHAR(250),
    TypeOfPayment NVARCHAR(250),
    Rugs FLOAT,
    RugsCleaned BIT,
    Itel BIT,
    ItelDate DATETIME,
    AdjusterUpdatedDate DATETIME,
    AdjusterUpdatedBy NVARCHAR(250),
    CarpetCleanRooms FLOAT,
    HowHear NVARCHAR(255),
    TimeOfService NVARCHAR(250),
    TypeOfService NVARCHAR(250),
    EstimateComplete BIT,
    Billed BIT,
    COS BIT,
    MoveOut BIT,
    CleanHVAC BIT,
    ContentsCleaned BIT,
    Photos BIT,
    AmountBilled FLOAT,
    InvoiceID NVARCHAR(50),
    Notes NVARCHAR(255),
    EnteredBy NVARCHAR(50),
    EnteredDate DATETIME,
    EditedBy NVARCHAR(50),
    EditedDate DATETIME,
    QBID NVARCHAR(200),
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
CREATE TABLE WIPContractors (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    WIPID INT,
    Contractor NVARCHAR(250)
)
GO
CREATE TABLE EmployeeTime (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    EmployeeID INT,
    WIPID INT,
    TranDate DATETIME,
    Hours FLOAT,
    Notes NVARCHAR(255),
    EnteredBy NVARCHAR(50),
    EnteredDate DATETIME,
    EditedBy NVARCHAR(50),
    EditedDate DATETIME,
    Revision INT NOT NULL CONSTRAINT DF_EmployeeTime_Revision DEFAULT 0, -- addition (upgrade step 4): counts the saves; a save checks it to refuse a lost update
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): the drying log. A job's rooms, one "Outside" each
CREATE TABLE DryingRoom (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    WIPID INT,
    Name NVARCHAR(50),
    Affected BIT,
    Outside BIT,
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): a room's temperature (always in degrees F) and
-- relative humidity
CREATE TABLE DryingAtmosphere (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    RoomID INT CONSTRAINT FK_DryingAtmosphere_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    TakenAt DATETIME,
    Temperature FLOAT,
    Humidity FLOAT,
    EnteredBy NVARCHAR(50),
    EnteredDate DATETIME,
    EditedBy NVARCHAR(50),
    EditedDate DATETIME,
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): a point on a material read until it reaches its dry goal
CREATE TABLE MoisturePoint (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    RoomID INT CONSTRAINT FK_MoisturePoint_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    Material NVARCHAR(50),
    Location NVARCHAR(100),
    Meter NVARCHAR(50),
    DryGoal FLOAT,
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 4): one value per point and day (TakenAt at midnight)
CREATE TABLE MoistureReading (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    PointID INT CONSTRAINT FK_MoistureReading_PointID REFERENCES MoisturePoint (ID) ON DELETE CASCADE,
    TakenAt DATETIME,
    Value FLOAT,
    EnteredBy NVARCHAR(50),
    EnteredDate DATETIME,
    EditedBy NVARCHAR(50),
    EditedDate DATETIME,
    RowVersion ROWVERSION -- addition (upgrade step 6): the row's version, which the database moves on at every change
)
GO
-- addition (upgrade step 7): failed logins in a row per user name (trimmed,
-- case-folded; unknown names too), kept here so that a restart of the
-- program does not reset the wait they impose
CREATE TABLE LoginFailure (
    UserKey NVARCHAR(50) NOT NULL PRIMARY KEY,
    Failures INT NOT NULL DEFAULT 0,
    LastFailedAt DATETIME
)
GO
-- addition (upgrade step 8): the office's drying equipment, one row per unit;
-- Pints is a dehumidifier's rated pints a day
CREATE TABLE Equipment (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    AssetNo NVARCHAR(50) NOT NULL UNIQUE,
    EquipType NVARCHAR(50),
    DehuKind NVARCHAR(50),
    Pints FLOAT,
    Description NVARCHAR(250),
    Retired BIT,
    RowVersion ROWVERSION
)
GO
-- addition (upgrade step 8): a unit standing in a room of a job from PlacedAt
-- until RemovedAt (NULL while it stands there); kept after removal for the bill
CREATE TABLE EquipmentPlacement (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    EquipmentID INT CONSTRAINT FK_EquipmentPlacement_EquipmentID REFERENCES Equipment (ID),
    RoomID INT CONSTRAINT FK_EquipmentPlacement_RoomID REFERENCES DryingRoom (ID),
    PlacedAt DATETIME,
    RemovedAt DATETIME,
    RowVersion ROWVERSION
)
GO
-- addition (upgrade step 8): a room's size in feet and its class of water (1-4),
-- for sizing its equipment; one row per room
CREATE TABLE RoomSizing (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    RoomID INT CONSTRAINT FK_RoomSizing_RoomID REFERENCES DryingRoom (ID) ON DELETE CASCADE,
    Length FLOAT,
    Width FLOAT,
    Height FLOAT,
    WetWallHeight FLOAT,
    WaterClass INT,
    RowVersion ROWVERSION
)
GO
-- addition (upgrade step 8): the dehumidification factors per kind and class of
-- water: cubic feet per pint a day, for desiccants air changes an hour; NULL
-- where the kind is not used for the class
CREATE TABLE DehuFactor (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    DehuKind NVARCHAR(50),
    WaterClass INT,
    Factor FLOAT
)
GO
-- addition (upgrade step 8): per equipment type its QuickBooks item and daily rate
CREATE TABLE EquipmentRate (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    EquipType NVARCHAR(50),
    QBItemName NVARCHAR(250),
    DailyRate FLOAT,
    RowVersion ROWVERSION
)
GO
-- addition (upgrade step 10): every backup made of this database (by the
-- program on exit or on demand, or by jobtracker-admin), so that each PC
-- can tell when the last one was made
CREATE TABLE BackupLog (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    MadeAt DATETIME NOT NULL,
    FileName NVARCHAR(250),
    MadeBy NVARCHAR(50),
    Automatic BIT
)
GO
-- addition (upgrade step 12): when each user was last reminded to make a
-- backup, so that the reminder comes at most once a day wherever he logs in
CREATE TABLE BackupReminder (
    EmployeeID INT NOT NULL PRIMARY KEY,
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
    ID INT IDENTITY(1,1) PRIMARY KEY,
    WIPID INT NOT NULL,
    RoomID INT CONSTRAINT FK_JobFile_RoomID REFERENCES DryingRoom (ID),
    PointID INT CONSTRAINT FK_JobFile_PointID REFERENCES MoisturePoint (ID),
    FileName NVARCHAR(250),
    Kind NVARCHAR(20),
    Caption NVARCHAR(250),
    TakenAt DATETIME,
    AddedBy NVARCHAR(50),
    AddedAt DATETIME,
    Width INT,
    Height INT,
    FileSize INT,
    Thumbnail VARBINARY(MAX),
    RowVersion ROWVERSION,
    Content VARBINARY(MAX)
)
GO
-- addition (upgrade step 13): the field page's sign-ins, one row per phone
-- signed in; the token itself is never stored, only its SHA-256
CREATE TABLE FieldSession (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    TokenHash NVARCHAR(64) NOT NULL,
    EmployeeID INT NOT NULL,
    CsrfToken NVARCHAR(64) NOT NULL,
    CreatedAt DATETIME NOT NULL,
    LastSeenAt DATETIME NOT NULL
)
GO
-- addition (upgrade step 13): the id a phone gave each entry it sent, with
-- what was stored for it, so that an entry sent twice is stored once
CREATE TABLE FieldEntry (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    EntryID NVARCHAR(64) NOT NULL,
    EmployeeID INT,
    Kind NVARCHAR(20),
    StoredID INT,
    StoredAt DATETIME
)
GO
-- addition (upgrade step 13): each field server running, with the address a
-- phone opens and its certificate's fingerprint; refreshed every minute
CREATE TABLE FieldServer (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    Address NVARCHAR(250),
    Fingerprint NVARCHAR(100),
    StartedAt DATETIME,
    SeenAt DATETIME
)
GO
CREATE PROCEDURE EmployeeLogin @UserID BIGINT
AS
BEGIN
    SET NOCOUNT ON;
    INSERT INTO EmployeeLog (UserID, Action, LogDate) VALUES (@UserID, 'Login', GETDATE());
END
GO
CREATE PROCEDURE EmployeeLogoff @UserID BIGINT
AS
BEGIN
    SET NOCOUNT ON;
    INSERT INTO EmployeeLog (UserID, Action, LogDate) VALUES (@UserID, 'Logoff', GETDATE());
END
GO
