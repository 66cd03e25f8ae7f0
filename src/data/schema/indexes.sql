-- Job tracker indexes, the same in every dialect: run after the dialect's
-- script, and read by the upgrade where an older database lacks one.
CREATE INDEX IX_WIP_Customer ON WIP (Customer)
GO
CREATE INDEX IX_WIP_Status ON WIP (Status)
GO
CREATE INDEX IX_WIPContractors_WIPID ON WIPContractors (WIPID)
GO
CREATE INDEX IX_WIPContractors_Contractor ON WIPContractors (Contractor)
GO
-- addition (upgrade step 3): the time lists read a job's bookings and an
-- employee's bookings by date through these two.
CREATE INDEX IX_EmployeeTime_WIPID ON EmployeeTime (WIPID)
GO
CREATE INDEX IX_EmployeeTime_Employee_TranDate ON EmployeeTime (EmployeeID, TranDate)
GO
-- addition (upgrade step 4): the drying log reads by job, room and point.
CREATE INDEX IX_DryingRoom_WIPID ON DryingRoom (WIPID)
GO
CREATE INDEX IX_DryingAtmosphere_RoomID_TakenAt ON DryingAtmosphere (RoomID, TakenAt)
GO
CREATE INDEX IX_MoisturePoint_RoomID ON MoisturePoint (RoomID)
GO
CREATE INDEX IX_MoistureReading_PointID_TakenAt ON MoistureReading (PointID, TakenAt)
GO
-- addition (upgrade step 8): a job's units by room; a unit stands in one place at a time.
CREATE INDEX IX_EquipmentPlacement_RoomID ON EquipmentPlacement (RoomID)
GO
CREATE UNIQUE INDEX UX_EquipmentPlacement_Open ON EquipmentPlacement (EquipmentID) WHERE RemovedAt IS NULL
GO
CREATE INDEX IX_RoomSizing_RoomID ON RoomSizing (RoomID)
GO
CREATE INDEX IX_WIPStatus_Name ON WIPStatus (Name)
GO
CREATE INDEX IX_UserPermission_UserID ON UserPermission (UserID)
GO
CREATE INDEX IX_Employee_Username ON Employee (Username)
GO
CREATE INDEX IX_Permission_Name ON Permission (Name)
GO
-- addition (upgrade step 9): the board's first screenful is read in the
-- board's order, the entry screen's job picker in its own, and its lists of
-- the values in use one probe per distinct value.
CREATE INDEX IX_WIP_Board ON WIP (Customer, JobType, StartDate, ID)
GO
CREATE INDEX IX_WIP_Customer_ID ON WIP (Customer, ID)
GO
CREATE INDEX IX_WIP_Rep ON WIP (Rep)
GO
CREATE INDEX IX_WIP_Insurance ON WIP (Insurance)
GO
CREATE INDEX IX_WIP_Agent ON WIP (Agent)
GO
CREATE INDEX IX_WIP_Adjuster ON WIP (Adjuster)
GO
CREATE INDEX IX_WIP_AdjusterUpdatedBy ON WIP (AdjusterUpdatedBy)
GO
-- addition (upgrade step 11): a job's files by date, a room's and a point's.
CREATE INDEX IX_JobFile_WIPID_TakenAt ON JobFile (WIPID, TakenAt)
GO
CREATE INDEX IX_JobFile_RoomID ON JobFile (RoomID)
GO
CREATE INDEX IX_JobFile_PointID ON JobFile (PointID)
GO
-- addition (upgrade step 13): a session by its token, an entry by its id.
CREATE UNIQUE INDEX UX_FieldSession_TokenHash ON FieldSession (TokenHash)
GO
CREATE UNIQUE INDEX UX_FieldEntry_EntryID ON FieldEntry (EntryID)
GO
-- addition (upgrade step 13): the open jobs, for the field page's list of
-- those with a drying log (the servers would otherwise scan every job).
CREATE INDEX IX_WIP_Open ON WIP (ID) WHERE Status <> 'Closed'
GO
-- addition (upgrade step 14): a job's history, newest first.
CREATE INDEX IX_WIPHistory_WIPID_ChangedAt ON WIPHistory (WIPID, ChangedAt)
GO
