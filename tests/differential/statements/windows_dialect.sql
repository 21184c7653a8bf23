# Corners of the dialect where the engine follows the installer's recorded
# answers (docs/sql-dialect.md): constant '' columns, quoted names in the
# select list, names that lost a backquote, empty names.
SELECT '' FROM File
SELECT File, '' FROM File
SELECT '', File FROM File ORDER BY File
SELECT DISTINCT '', Component_ FROM File
SELECT 'File' FROM File
SELECT 'File', FileName FROM File WHERE File.File = 'x'
SELECT File FROM File ORDER BY 'File'
select `File`.File` from `File`
select File`.`File` from `File`
select `File`.`File` from File`
select `File`.`File from `File`
SELECT `` FROM File
SELECT * FROM Property WHERE Property = -1
