# Column lists, DISTINCT, ORDER BY, every comparison, NULL tests, AND / OR /
# parentheses, backquotes, qualified names, keyword case.
SELECT File, FileName FROM File
SELECT FileName, File FROM File
SELECT File, File FROM File
SELECT File.File, File.FileName FROM File
SELECT `File`.`FileName` FROM `File` WHERE `File`.`Sequence` > 2
SELECT `File`, `FileSize` FROM `File` ORDER BY `FileSize`
select * from File where Sequence >= 1 order by FileName
SeLeCt DiStInCt Component_ FrOm File OrDeR bY Component_
SELECT DISTINCT Component_ FROM File
SELECT DISTINCT Directory_ FROM Component ORDER BY Directory_
SELECT DISTINCT Attributes FROM File ORDER BY Attributes
SELECT DISTINCT Attributes, Directory_ FROM Component
SELECT DISTINCT * FROM FeatureComponents
SELECT DISTINCT Sequence FROM InstallExecuteSequence ORDER BY Sequence
SELECT File, FileSize FROM File ORDER BY FileSize
SELECT File, FileName FROM File ORDER BY FileName
SELECT * FROM File ORDER BY Component_, FileSize
SELECT File FROM File ORDER BY FileSize
SELECT File FROM File ORDER BY File.FileSize
SELECT * FROM File ORDER BY Version
SELECT * FROM File ORDER BY Attributes, File
SELECT * FROM InstallExecuteSequence ORDER BY Sequence
SELECT * FROM InstallExecuteSequence ORDER BY Condition, Sequence
SELECT * FROM Component ORDER BY Condition
SELECT * FROM Property ORDER BY Value
SELECT * FROM Directory ORDER BY Directory_Parent, DefaultDir
SELECT * FROM File WHERE FileSize = {File.FileSize}
SELECT * FROM File WHERE FileSize <> {File.FileSize}
SELECT * FROM File WHERE FileSize < {File.FileSize@3}
SELECT * FROM File WHERE FileSize > {File.FileSize@3}
SELECT * FROM File WHERE FileSize <= {File.FileSize@3}
SELECT * FROM File WHERE FileSize >= {File.FileSize@3}
SELECT * FROM File WHERE Sequence > 0 AND Sequence < 5
SELECT * FROM File WHERE 3 < Sequence
SELECT * FROM File WHERE File = '{File.File@2}'
SELECT * FROM File WHERE File <> '{File.File@2}'
SELECT * FROM File WHERE File < 'M'
SELECT * FROM File WHERE File >= 'M'
SELECT * FROM File WHERE '{File.File}' = File
SELECT * FROM File WHERE FileName = File
SELECT * FROM File WHERE FileSize = '100'
SELECT * FROM File WHERE File = 1
SELECT * FROM Registry WHERE Root = -1
SELECT * FROM Registry WHERE Root > -1
SELECT * FROM Registry WHERE Root <> 2
SELECT * FROM InstallExecuteSequence WHERE Sequence > -2147483647
SELECT * FROM InstallExecuteSequence WHERE Sequence < 2147483647
SELECT * FROM Component WHERE Condition IS NULL
SELECT * FROM Component WHERE Condition IS NOT NULL
SELECT * FROM File WHERE Version IS NULL
SELECT * FROM File WHERE Version IS NOT NULL
SELECT * FROM File WHERE Attributes IS NULL
SELECT * FROM File WHERE Attributes IS NOT NULL
SELECT * FROM File WHERE File IS NULL
SELECT * FROM InstallExecuteSequence WHERE Condition IS NULL AND Sequence > 1000
SELECT * FROM Directory WHERE Directory_Parent IS NULL
SELECT * FROM Directory WHERE Directory_Parent = ''
SELECT * FROM Feature WHERE Title = ''
SELECT * FROM Feature WHERE Title IS NULL
SELECT * FROM File WHERE (Attributes = 0 OR Attributes = 512) AND FileSize > 1000
SELECT * FROM File WHERE Attributes = 0 OR (FileSize > 1000 AND Sequence < 10)
SELECT * FROM File WHERE Attributes = 0 OR FileSize > 1000 AND Sequence < 10
SELECT * FROM File WHERE ((Sequence = 1) OR ((Sequence = 2) OR (Sequence = 3)))
SELECT * FROM File WHERE NOT Sequence = 1
SELECT * FROM Feature WHERE Display > 0 AND (Level = 1 OR Level = 3) ORDER BY Display
SELECT * FROM Property WHERE Property = 'ProductName' OR Property = 'ProductVersion' OR Property = 'Manufacturer'
SELECT * FROM `_Columns` WHERE `Table` = 'File'
SELECT * FROM `_Columns` ORDER BY `Type`
SELECT `Name` FROM `_Tables` ORDER BY `Name`
SELECT * FROM `_Streams` ORDER BY `Name`
SELECT `Name` FROM `_Streams` WHERE `Name` <> ''
SELECT * FROM `_Storages`
