-- The demo database: a small business schema with every kind of value the grid shows.
PRAGMA foreign_keys = OFF;
BEGIN;

CREATE TABLE Customers (
  CustomerID   INTEGER PRIMARY KEY,
  CompanyName  VARCHAR(40) NOT NULL,
  ContactName  VARCHAR(30),
  City         VARCHAR(20),
  Country      VARCHAR(20),
  Phone        VARCHAR(24),
  CreditLimit  MONEY,
  Active       BOOLEAN,
  Created      DATETIME,
  Notes        MEMO
);

CREATE TABLE Products (
  ProductID    INTEGER PRIMARY KEY,
  ProductName  VARCHAR(40) NOT NULL,
  unit_price   MONEY,
  Weight       REAL,
  Discontinued BOOLEAN NOT NULL DEFAULT 0,
  Added        DATE,
  Picture      BLOB
);

CREATE TABLE Orders (
  OrderID      INTEGER PRIMARY KEY,
  CustomerID   INTEGER REFERENCES Customers(CustomerID),
  OrderDate    DATE,
  ShipTime     TIME,
  ShippedAt    DATETIME,
  Freight      DECIMAL(10,2),
  Comment      TEXT
);

CREATE TABLE "Order Details" (
  OrderID      INTEGER NOT NULL REFERENCES Orders(OrderID),
  ProductID    INTEGER NOT NULL REFERENCES Products(ProductID),
  UnitPrice    MONEY NOT NULL,
  Quantity     SMALLINT NOT NULL,
  Discount     REAL,
  PRIMARY KEY (OrderID, ProductID)
);

CREATE TABLE sales_regions (
  RegionCode   CHAR(3) PRIMARY KEY,
  RegionName   VARCHAR(30),
  Manager      VARCHAR(30)
);

-- A table named like a reserved word.
CREATE TABLE "User" (
  Login        VARCHAR(20) PRIMARY KEY,
  FullName     VARCHAR(40),
  IsAdmin      BOOLEAN,
  LastLogin    DATETIME
);

-- A table without a primary key: edits find the row by all its values.
CREATE TABLE EventLog (
  At           DATETIME,
  Level        VARCHAR(10),
  Message      TEXT
);

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)
INSERT INTO Customers
SELECT i,
  (ELT.name || ' ' || CASE i % 4 WHEN 0 THEN 'Ltd.' WHEN 1 THEN 'Inc.' WHEN 2 THEN 'GmbH' ELSE 's.r.o.' END || ' #' || i),
  CASE WHEN i % 17 = 0 THEN NULL ELSE (CASE i % 5 WHEN 0 THEN 'Maria' WHEN 1 THEN 'Ana' WHEN 2 THEN 'Thomas' WHEN 3 THEN 'Jiří' ELSE 'Seán' END) || ' ' ||
       (CASE i % 6 WHEN 0 THEN 'Anders' WHEN 1 THEN 'O''Brien' WHEN 2 THEN 'Hardy' WHEN 3 THEN 'Novák' WHEN 4 THEN 'Müller' ELSE 'Berglund' END) END,
  CASE i % 7 WHEN 0 THEN 'Berlin' WHEN 1 THEN 'México D.F.' WHEN 2 THEN 'London' WHEN 3 THEN 'Praha' WHEN 4 THEN 'Luleå' WHEN 5 THEN NULL ELSE 'Madrid' END,
  CASE i % 7 WHEN 0 THEN 'Germany' WHEN 1 THEN 'Mexico' WHEN 2 THEN 'UK' WHEN 3 THEN 'Czech Republic' WHEN 4 THEN 'Sweden' WHEN 5 THEN NULL ELSE 'Spain' END,
  printf('+%02d %03d %04d', i % 50, i * 7 % 1000, i * 131 % 10000),
  CASE WHEN i % 11 = 0 THEN NULL ELSE (i * 250) % 20000 + 0.5 END,
  CASE WHEN i % 13 = 0 THEN NULL ELSE i % 3 <> 0 END,
  CASE WHEN i % 19 = 0 THEN NULL ELSE datetime('2020-01-01 08:30:00', '+' || (i * 3) || ' days', '+' || (i * 37 % 600) || ' minutes') END,
  CASE WHEN i % 5 = 0 THEN 'Key account.' || char(13, 10) || 'Call before delivery;' || char(13, 10) || 'invoice "monthly".'
       WHEN i % 5 = 1 THEN NULL
       ELSE 'Note for customer ' || i || char(9) || '(tab inside)' END
FROM n, (SELECT 'Alfreds' AS name) AS ELT;

UPDATE Customers SET CompanyName = CASE CustomerID % 6
  WHEN 0 THEN 'Alfreds Futterkiste' WHEN 1 THEN 'Ana Trujillo Emparedados' WHEN 2 THEN 'Around the Horn'
  WHEN 3 THEN 'Berglunds snabbköp' WHEN 4 THEN 'Blondel père et fils' ELSE 'Bólido Comidas' END
  || ' ' || CustomerID;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 77)
INSERT INTO Products
SELECT i,
  CASE i % 8 WHEN 0 THEN 'Chai' WHEN 1 THEN 'Chang' WHEN 2 THEN 'Aniseed Syrup' WHEN 3 THEN 'Chef Anton''s Cajun Seasoning'
       WHEN 4 THEN 'Grandma''s Boysenberry Spread' WHEN 5 THEN 'Uncle Bob''s Organic Dried Pears' WHEN 6 THEN 'Northwoods Cranberry Sauce'
       ELSE 'Mishi Kobe Niku' END || ' ' || i,
  CASE WHEN i % 23 = 0 THEN NULL ELSE round((i * 37 % 900) / 10.0 + 2.5, 2) END,
  CASE WHEN i % 9 = 0 THEN NULL ELSE (i * 0.125) END,
  i % 10 = 0,
  CASE WHEN i % 15 = 0 THEN NULL ELSE date('2019-03-01', '+' || (i * 5) || ' days') END,
  CASE WHEN i % 4 = 0 THEN NULL ELSE X'89504E470D0A1A0A0000000D49484452' || randomblob(8) END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
INSERT INTO Orders
SELECT 10000 + i,
  CASE WHEN i % 97 = 0 THEN NULL ELSE (i * 7) % 200 + 1 END,
  CASE WHEN i % 89 = 0 THEN NULL ELSE date('2023-01-01', '+' || (i % 700) || ' days') END,
  CASE WHEN i % 83 = 0 THEN NULL ELSE time('08:00:00', '+' || (i * 13 % 600) || ' minutes') END,
  CASE WHEN i % 5 = 0 THEN NULL ELSE datetime('2023-01-03 10:15:30', '+' || (i % 700) || ' days', '+' || (i * 17 % 500) || ' minutes') END,
  CASE WHEN i % 71 = 0 THEN NULL ELSE round((i * 313 % 50000) / 100.0, 2) END,
  CASE WHEN i % 3 = 0 THEN NULL WHEN i % 3 = 1 THEN 'Ship via ' || (i % 3 + 1) ELSE 'Line one' || char(10) || 'Line two' END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500)
INSERT OR IGNORE INTO "Order Details"
SELECT 10000 + (i % 1000) + 1, (i * 7) % 77 + 1, round(((i * 7) % 77 + 1) * 1.25 + 2, 2), i % 40 + 1,
  CASE WHEN i % 6 = 0 THEN NULL ELSE (i % 5) * 0.05 END
FROM n;

INSERT INTO sales_regions VALUES ('EUR', 'Europe', 'Anna Berglund'), ('NAM', 'North America', NULL),
  ('LAM', 'Latin America', 'José Pérez'), ('APA', 'Asia-Pacific', 'Li Wei'), ('AFR', NULL, NULL);

INSERT INTO "User" VALUES ('admin', 'Administrator', 1, '2024-05-06 07:08:09'), ('jnovak', 'Jan Novák', 0, NULL),
  ('mobrien', 'Mary O''Brien', 0, '2024-12-31 23:59:59'), ('guest', NULL, NULL, NULL);

INSERT INTO EventLog VALUES ('2024-01-01 00:00:01', 'INFO', 'Started'), ('2024-01-01 00:00:02', 'WARN', 'Disk "C:" at 91%'),
  ('2024-01-01 00:00:02', 'WARN', 'Disk "C:" at 91%'), (NULL, 'ERROR', 'Multi-line' || char(13, 10) || 'stack trace' || char(13, 10) || '  at main()'),
  ('2024-01-02 12:00:00', NULL, NULL);

CREATE VIEW "Order Totals" AS
  SELECT o.OrderID, c.CompanyName, o.OrderDate,
         round(sum(d.UnitPrice * d.Quantity * (1 - coalesce(d.Discount, 0))), 2) AS Total
  FROM Orders o LEFT JOIN Customers c ON c.CustomerID = o.CustomerID
       LEFT JOIN "Order Details" d ON d.OrderID = o.OrderID
  GROUP BY o.OrderID;

COMMIT;
