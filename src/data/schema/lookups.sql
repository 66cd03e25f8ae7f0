-- Lookup rows every new database starts with. Portable SQL; statements are
-- separated by lines holding only GO.
-- Status colours are stored as the status editor writes them: decimal
-- numbers laid out 0x00BBGGRR, or the "&H" hexadecimal form.

INSERT INTO State (State) VALUES ('AL'), ('AK'), ('AZ'), ('AR'), ('CA'), ('CO'), ('CT'), ('DE'), ('DC'), ('FL')
GO
INSERT INTO State (State) VALUES ('GA'), ('HI'), ('ID'), ('IL'), ('IN'), ('IA'), ('KS'), ('KY'), ('LA'), ('ME')
GO
INSERT INTO State (State) VALUES ('MD'), ('MA'), ('MI'), ('MN'), ('MS'), ('MO'), ('MT'), ('NE'), ('NV'), ('NH')
GO
INSERT INTO State (State) VALUES ('NJ'), ('NM'), ('NY'), ('NC'), ('ND'), ('OH'), ('OK'), ('OR'), ('PA'), ('RI')
GO
INSERT INTO State (State) VALUES ('SC'), ('SD'), ('TN'), ('TX'), ('UT'), ('VT'), ('VA'), ('WA'), ('WV'), ('WI')
GO
INSERT INTO State (State) VALUES ('WY')
GO
INSERT INTO WIPJobType (Name) VALUES ('Fire'), ('Water'), ('Work Order'), ('Mold'), ('Storm'), ('Smoke')
GO
INSERT INTO WIPSoftware (Name) VALUES ('Xactimate'), ('Symbility'), ('Simsol'), ('None')
GO
INSERT INTO WIPPayment (Name) VALUES ('Insurance'), ('Check'), ('Credit Card'), ('Cash'), ('Financing')
GO
INSERT INTO WIPTypeOfService (Name) VALUES ('Emergency'), ('Restoration'), ('Cleaning'), ('Mitigation'), ('Reconstruction')
GO
INSERT INTO EmployeeType (Name) VALUES ('Admin'), ('User')
GO
INSERT INTO Permission (Name) VALUES ('Company Info'), ('Employee Entry/Edit'), ('Quickbooks Sync'), ('WIPs Entry/Edit'), ('WIPs Navigator'), ('Employee Time Manager'), ('Employee Time Entry/Edit'), ('Delete Employee Time')
GO
INSERT INTO Permission (Name) VALUES ('Equipment'), ('Field Entry')
GO
INSERT INTO WIPStatus (Name, ColorCode, AlertDays) VALUES ('Open', '16777215', NULL), ('Estimate', '12648447', 7), ('Drying', '8454143', NULL), ('In Progress', '12648384', NULL), ('Waiting On Adjuster', '&H00C0C0FF', 14), ('Ready To Bill', '16777088', 7), ('Closed', '12632256', NULL)
GO
-- The dehumidification factors of the IICRC S500 (2015) per kind and class of
-- water: room cubic feet per pint a day; for desiccants air changes an hour.
-- NULL: the kind is not used for that class. The office may change them.
INSERT INTO DehuFactor (DehuKind, WaterClass, Factor) VALUES ('Conventional', 1, 100), ('Conventional', 2, 40), ('Conventional', 3, 30), ('Conventional', 4, NULL)
GO
INSERT INTO DehuFactor (DehuKind, WaterClass, Factor) VALUES ('LGR', 1, 100), ('LGR', 2, 50), ('LGR', 3, 40), ('LGR', 4, 50)
GO
INSERT INTO DehuFactor (DehuKind, WaterClass, Factor) VALUES ('Desiccant', 1, 1), ('Desiccant', 2, 2), ('Desiccant', 3, 3), ('Desiccant', 4, 2)
GO
