# Unknown names and malformed statements of every kind: 1615 when the view
# is opened.
SELECT * FROM NoSuchTable
SELECT * FROM file
SELECT filename FROM File
SELECT NoSuchColumn FROM File
SELECT * FROM File WHERE NoSuchColumn = 1
SELECT * FROM File ORDER BY NoSuchColumn
SELECT Component.Component FROM File
SELECT File.NoSuchColumn FROM File
SELECT * FROM File, NoSuchTable
SELECT * FROM
SELECT FROM File
SELECT * File
SELECT * FROM File WHERE
SELECT * FROM File WHERE File =
SELECT * FROM File WHERE (File = 'x'
SELECT * FROM File WHERE File = 'x')
SELECT * FROM File ORDER BY
SELECT * FROM File ORDER File
SELECT * FROM `File
SELECT * FROM File WHERE File = 'unterminated
SELECT * FROM File WHERE File == 'x'
SELECT * FROM File WHERE File IS 'x'
SELECT * FROM File WHERE File IS NOT
SELECT * FROM File,
SELECT *, File FROM File
SELECT DISTINCT FROM File
SELECT * FROM Select
SELECT * FROM File WHERE File = "x"
SELECT * FROM File;
garbage
DELETE File
DELETE FROM
UPDATE File SET
UPDATE File SET FileSize WHERE File = 'x'
INSERT INTO File (File) VALUES
INSERT INTO File VALUES ('x')
CREATE TABLE Fresh
CREATE TABLE Fresh (Key CHAR(72))
DROP TABLE
ALTER TABLE File
ALTER File HOLD
