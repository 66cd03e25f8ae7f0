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
    RowVersion ROWVERSION, -- addition (upgrade step 6): the row's version, which the database moves on at every change
    AlertDays INT -- addition (upgrade step 14): days a job may stay in this status before the board alerts (NULL: never)
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
    RowVersion ROWVERSION, -- addition (upgrade step 6): the row's version, which the database moves on at every change
    StatusSince DATETIME -- addition (upgrade step 14): when its status last changed, kept by the history trigger (NULL: never since it was entered)
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
-- addition (upgrade step 14): every change to a job, one row per field, and
-- a row for a job entered or deleted and a subcontractor added or removed;
-- written by the triggers below, whoever changes the job
CREATE TABLE WIPHistory (
    ID INT IDENTITY(1,1) PRIMARY KEY,
    WIPID INT,
    ChangedAt DATETIME,
    ChangedBy NVARCHAR(400),
    Field NVARCHAR(50),
    Was NVARCHAR(MAX),
    Now NVARCHAR(MAX)
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
-- addition (upgrade step 14): the job history. The program names its user in
-- the session context's jobtracker.user (Connection::setHistoryUser); any
-- other writer is named by its login. Values are kept as the entry screen
-- shows them: dates MM/DD/YYYY, flags Yes or No, numbers to two places.
-- DryingDays (recounted at every save), the stamps and the row version are
-- not kept.
CREATE FUNCTION dbo.HistoryUser() RETURNS NVARCHAR(400)
AS
BEGIN
    RETURN COALESCE(NULLIF(CAST(SESSION_CONTEXT(N'jobtracker.user') AS NVARCHAR(400)), N''),
        SUSER_SNAME() + N' (outside the program)');
END
GO
CREATE FUNCTION dbo.HistoryDate(@value DATETIME) RETURNS NVARCHAR(MAX)
AS
BEGIN
    RETURN COALESCE(CONVERT(NVARCHAR(10), @value, 101), N'');
END
GO
CREATE FUNCTION dbo.HistoryFlag(@value BIT) RETURNS NVARCHAR(MAX)
AS
BEGIN
    RETURN CASE WHEN @value = 1 THEN N'Yes' ELSE N'No' END;
END
GO
CREATE FUNCTION dbo.HistoryNumber(@value FLOAT) RETURNS NVARCHAR(MAX)
AS
BEGIN
    IF @value IS NULL
        RETURN N'';
    IF ABS(@value) >= 1e15
        RETURN CONVERT(NVARCHAR(50), @value, 2);
    DECLARE @text NVARCHAR(50) = CONVERT(NVARCHAR(50), CONVERT(DECIMAL(18, 2), ROUND(@value, 2)));
    WHILE RIGHT(@text, 1) = N'0'
        SET @text = LEFT(@text, LEN(@text) - 1);
    IF RIGHT(@text, 1) = N'.'
        SET @text = LEFT(@text, LEN(@text) - 1);
    RETURN @text;
END
GO
CREATE TRIGGER TR_WIP_History ON WIP AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @who NVARCHAR(400) = dbo.HistoryUser();
    DECLARE @at DATETIME = GETDATE();
    IF NOT EXISTS (SELECT 1 FROM deleted)
        INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
        SELECT i.ID, @at, @who, N'Job', N'', N'Created' FROM inserted i;
    ELSE IF NOT EXISTS (SELECT 1 FROM inserted)
        INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
        SELECT d.ID, @at, @who, N'Job', COALESCE(CAST(d.Customer AS NVARCHAR(MAX)), N''), N'Deleted' FROM deleted d;
    ELSE
    BEGIN
        INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
        SELECT i.ID, @at, @who, C.Field, C.Was, C.Now
        FROM inserted i JOIN deleted d ON d.ID = i.ID
        CROSS APPLY (VALUES
        (N'Customer', COALESCE(CAST(d.Customer AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Customer AS NVARCHAR(MAX)), N'')),
        (N'Address', COALESCE(CAST(d.Address AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Address AS NVARCHAR(MAX)), N'')),
        (N'City', COALESCE(CAST(d.City AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.City AS NVARCHAR(MAX)), N'')),
        (N'State', COALESCE(CAST(d.State AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.State AS NVARCHAR(MAX)), N'')),
        (N'Zip', COALESCE(CAST(d.Zip AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Zip AS NVARCHAR(MAX)), N'')),
        (N'Phone', COALESCE(CAST(d.Phone AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Phone AS NVARCHAR(MAX)), N'')),
        (N'JobType', COALESCE(CAST(d.JobType AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.JobType AS NVARCHAR(MAX)), N'')),
        (N'Status', COALESCE(CAST(d.Status AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Status AS NVARCHAR(MAX)), N'')),
        (N'Rep', COALESCE(CAST(d.Rep AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Rep AS NVARCHAR(MAX)), N'')),
        (N'StartDate', dbo.HistoryDate(d.StartDate), dbo.HistoryDate(i.StartDate)),
        (N'CheckDryingDays', dbo.HistoryFlag(d.CheckDryingDays), dbo.HistoryFlag(i.CheckDryingDays)),
        (N'Insurance', COALESCE(CAST(d.Insurance AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Insurance AS NVARCHAR(MAX)), N'')),
        (N'Agent', COALESCE(CAST(d.Agent AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Agent AS NVARCHAR(MAX)), N'')),
        (N'Adjuster', COALESCE(CAST(d.Adjuster AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Adjuster AS NVARCHAR(MAX)), N'')),
        (N'Paperwork', COALESCE(CAST(d.Paperwork AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Paperwork AS NVARCHAR(MAX)), N'')),
        (N'InitialScope', COALESCE(CAST(d.InitialScope AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.InitialScope AS NVARCHAR(MAX)), N'')),
        (N'Software', COALESCE(CAST(d.Software AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Software AS NVARCHAR(MAX)), N'')),
        (N'TypeOfPayment', COALESCE(CAST(d.TypeOfPayment AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.TypeOfPayment AS NVARCHAR(MAX)), N'')),
        (N'Rugs', dbo.HistoryNumber(d.Rugs), dbo.HistoryNumber(i.Rugs)),
        (N'RugsCleaned', dbo.HistoryFlag(d.RugsCleaned), dbo.HistoryFlag(i.RugsCleaned)),
        (N'Itel', dbo.HistoryFlag(d.Itel), dbo.HistoryFlag(i.Itel)),
        (N'ItelDate', dbo.HistoryDate(d.ItelDate), dbo.HistoryDate(i.ItelDate)),
        (N'AdjusterUpdatedDate', dbo.HistoryDate(d.AdjusterUpdatedDate), dbo.HistoryDate(i.AdjusterUpdatedDate)),
        (N'AdjusterUpdatedBy', COALESCE(CAST(d.AdjusterUpdatedBy AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.AdjusterUpdatedBy AS NVARCHAR(MAX)), N'')),
        (N'CarpetCleanRooms', dbo.HistoryNumber(d.CarpetCleanRooms), dbo.HistoryNumber(i.CarpetCleanRooms)),
        (N'HowHear', COALESCE(CAST(d.HowHear AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.HowHear AS NVARCHAR(MAX)), N'')),
        (N'TimeOfService', COALESCE(CAST(d.TimeOfService AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.TimeOfService AS NVARCHAR(MAX)), N'')),
        (N'TypeOfService', COALESCE(CAST(d.TypeOfService AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.TypeOfService AS NVARCHAR(MAX)), N'')),
        (N'EstimateComplete', dbo.HistoryFlag(d.EstimateComplete), dbo.HistoryFlag(i.EstimateComplete)),
        (N'Billed', dbo.HistoryFlag(d.Billed), dbo.HistoryFlag(i.Billed)),
        (N'COS', dbo.HistoryFlag(d.COS), dbo.HistoryFlag(i.COS)),
        (N'MoveOut', dbo.HistoryFlag(d.MoveOut), dbo.HistoryFlag(i.MoveOut)),
        (N'CleanHVAC', dbo.HistoryFlag(d.CleanHVAC), dbo.HistoryFlag(i.CleanHVAC)),
        (N'ContentsCleaned', dbo.HistoryFlag(d.ContentsCleaned), dbo.HistoryFlag(i.ContentsCleaned)),
        (N'Photos', dbo.HistoryFlag(d.Photos), dbo.HistoryFlag(i.Photos)),
        (N'AmountBilled', dbo.HistoryNumber(d.AmountBilled), dbo.HistoryNumber(i.AmountBilled)),
        (N'InvoiceID', COALESCE(CAST(d.InvoiceID AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.InvoiceID AS NVARCHAR(MAX)), N'')),
        (N'Notes', COALESCE(CAST(d.Notes AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.Notes AS NVARCHAR(MAX)), N'')),
        (N'QBID', COALESCE(CAST(d.QBID AS NVARCHAR(MAX)), N''), COALESCE(CAST(i.QBID AS NVARCHAR(MAX)), N''))
        ) AS C (Field, Was, Now)
        WHERE CAST(C.Was AS VARBINARY(MAX)) <> CAST(C.Now AS VARBINARY(MAX));
        UPDATE W SET StatusSince = @at
        FROM WIP W JOIN inserted i ON i.ID = W.ID JOIN deleted d ON d.ID = i.ID
        WHERE CAST(COALESCE(CAST(i.Status AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX)) <> CAST(COALESCE(CAST(d.Status AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX));
    END
END
GO
CREATE TRIGGER TR_WIPContractors_History ON WIPContractors AFTER INSERT, UPDATE, DELETE
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @who NVARCHAR(400) = dbo.HistoryUser();
    DECLARE @at DATETIME = GETDATE();
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    SELECT d.WIPID, @at, @who, N'Contractor', COALESCE(CAST(d.Contractor AS NVARCHAR(MAX)), N''), N''
    FROM deleted d
    WHERE NOT EXISTS (SELECT 1 FROM inserted i WHERE i.ID = d.ID AND i.WIPID = d.WIPID
        AND CAST(COALESCE(CAST(i.Contractor AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX)) = CAST(COALESCE(CAST(d.Contractor AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX)));
    INSERT INTO WIPHistory (WIPID, ChangedAt, ChangedBy, Field, Was, Now)
    SELECT i.WIPID, @at, @who, N'Contractor', N'', COALESCE(CAST(i.Contractor AS NVARCHAR(MAX)), N'')
    FROM inserted i
    WHERE NOT EXISTS (SELECT 1 FROM deleted d WHERE d.ID = i.ID AND d.WIPID = i.WIPID
        AND CAST(COALESCE(CAST(i.Contractor AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX)) = CAST(COALESCE(CAST(d.Contractor AS NVARCHAR(MAX)), N'') AS VARBINARY(MAX)));
END
GO
