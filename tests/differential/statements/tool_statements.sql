# The statements the report builder and the query tool run, with the
# inserted names filled from the package (or with names it lacks).
SELECT Feature,Requires,VerMin,VerMax FROM HollinRequirements ORDER BY Feature
SELECT UpgradeCode,VersionMin,VersionMax,Language,Attributes,Remove FROM Upgrade ORDER BY UpgradeCode
SELECT DISTINCT Component.Directory_ FROM File, Component WHERE File.Component_=Component.Component ORDER BY Component.Directory_
SELECT File.FileName,File.FileSize,File.Version,File.Language,File.Attributes,Component.Directory_ FROM File, Component WHERE File.Component_=Component.Component ORDER BY File.FileName
SELECT Name,Data FROM Binary ORDER BY Name
SELECT DISTINCT Feature,Title FROM Feature WHERE Feature='{Feature.Feature}'
SELECT DISTINCT Feature,Title FROM Feature WHERE Feature='{Feature.Feature@3}'
SELECT DISTINCT Feature,Title FROM Feature WHERE Feature='NoSuchFeature'
SELECT DISTINCT Feature,Title FROM Feature WHERE Feature=''
SELECT DISTINCT Name,Version,Description FROM HollinVersions WHERE Name='{HollinVersions.Name}' AND Version='{HollinVersions.Version}'
SELECT DISTINCT Name,Version,Description FROM HollinVersions WHERE Name='{HollinVersions.Name@5}' AND Version='{HollinVersions.Version@5}'
SELECT DISTINCT Name,Version,Description FROM HollinVersions WHERE Name='{HollinVersions.Name}' AND Version=''
SELECT DISTINCT HollinRequirements.Feature,HollinRequirements.Requires,HollinRequirements.VerMin,HollinRequirements.VerMax,HollinDetects.ProductName FROM HollinRequirements,HollinDetects WHERE HollinRequirements.Requires=HollinDetects.Name AND HollinRequirements.Feature='{HollinRequirements.Feature}' ORDER BY Feature
SELECT DISTINCT HollinRequirements.Feature,HollinRequirements.Requires,HollinRequirements.VerMin,HollinRequirements.VerMax,HollinDetects.ProductName FROM HollinRequirements,HollinDetects WHERE HollinRequirements.Requires=HollinDetects.Name AND HollinRequirements.Feature='{HollinRequirements.Feature@4}' ORDER BY Feature
SELECT DISTINCT Directory, Directory_Parent, DefaultDir FROM Directory WHERE Directory='{Directory.Directory}'
SELECT DISTINCT Directory, Directory_Parent, DefaultDir FROM Directory WHERE Directory='{Directory.Directory@4}'
SELECT DISTINCT Directory, Directory_Parent, DefaultDir FROM Directory WHERE Directory='TARGETDIR'
SELECT DISTINCT Directory, Directory_Parent, DefaultDir FROM Directory WHERE Directory=''
SELECT DISTINCT `Name` FROM `_Tables` WHERE `Name`='HollinDetects'
SELECT DISTINCT `Name` FROM `_Tables` WHERE `Name`='Upgrade'
SELECT DISTINCT `Name` FROM `_Tables` WHERE `Name`='Property'
SELECT DISTINCT Property,Value FROM Property WHERE Property='ProductName'
SELECT DISTINCT Property,Value FROM Property WHERE Property='ProductVersion'
SELECT DISTINCT Property,Value FROM Property WHERE Property='Manufacturer'
SELECT DISTINCT Property,Value FROM Property WHERE Property='ProductCode'
SELECT DISTINCT Property,Value FROM Property WHERE Property='UpgradeCode'
SELECT DISTINCT Property,Value FROM Property WHERE Property='NoSuchProperty'
SELECT `Property`,`Value` FROM `Property`
SELECT `Name`,`Data` FROM `_Streams` ORDER BY `Name`
SELECT `Name`,`Data` FROM `_Streams` WHERE `Name`='{_Streams.Name}'
SELECT `Name`,`Data` FROM `_Streams` WHERE `Name`='{_Streams.Name@2}'
SELECT `Name`,`Data` FROM `_Streams` WHERE `Name`=''
SELECT `Dialog` FROM `Dialog` ORDER BY `Dialog`
SELECT * FROM Dialog WHERE Dialog='{Dialog.Dialog}'
SELECT * FROM Control WHERE Dialog_='{Dialog.Dialog}'
SELECT * FROM ControlCondition WHERE Dialog_='{ControlCondition.Dialog_}'
SELECT * FROM ControlEvent WHERE Dialog_='{ControlEvent.Dialog_}'
SELECT * FROM EventMapping WHERE Dialog_='{EventMapping.Dialog_}'
SELECT * FROM Control WHERE Dialog_=''
SELECT Dialog,HCentering,VCentering,Width,Height,Attributes,Title,Control_First,Control_Default,Control_Cancel FROM Dialog
SELECT Dialog_,Control,Type,X,Y,Width,Height,Attributes,Property,Text,Control_Next,Help FROM Control
SELECT Dialog_,Control_,Event,Argument,Condition,Ordering FROM ControlEvent
