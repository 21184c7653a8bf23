# Joins of two, three and four tables; the order of FROM and of the
# conditions decides the row order.
SELECT File.File, Component.Component FROM File, Component WHERE File.Component_ = Component.Component
SELECT File.File, Component.Component FROM Component, File WHERE File.Component_ = Component.Component
SELECT File.File, Component.Component FROM File, Component WHERE Component.Component = File.Component_
SELECT * FROM File, Component WHERE File.Component_ = Component.Component
SELECT File.FileName, Component.Component, Directory.DefaultDir FROM File, Component, Directory WHERE File.Component_ = Component.Component AND Component.Directory_ = Directory.Directory
SELECT File.FileName, Component.Component, Directory.DefaultDir FROM Directory, Component, File WHERE Component.Directory_ = Directory.Directory AND File.Component_ = Component.Component
SELECT File.FileName, Directory.Directory FROM Component, Directory, File WHERE File.Component_ = Component.Component AND Directory.Directory = Component.Directory_ ORDER BY Directory.Directory
SELECT Feature.Feature, Component.Component FROM Feature, FeatureComponents, Component WHERE Feature.Feature = FeatureComponents.Feature_ AND FeatureComponents.Component_ = Component.Component
SELECT Feature.Title, File.FileName FROM Feature, FeatureComponents, Component, File WHERE Feature.Feature = FeatureComponents.Feature_ AND FeatureComponents.Component_ = Component.Component AND File.Component_ = Component.Component ORDER BY File.FileName
SELECT File.File, Component.Directory_ FROM File, Component WHERE File.Component_ = Component.Component AND Component.Directory_ = '{Component.Directory_}'
SELECT File.File, Component.Directory_ FROM File, Component WHERE Component.Directory_ = '{Component.Directory_@2}' AND File.Component_ = Component.Component
SELECT File.File, Component.Attributes FROM File, Component WHERE File.Component_ = Component.Component AND Component.Attributes > 0
SELECT File.File, File.FileSize, Component.Component FROM File, Component WHERE File.Component_ = Component.Component ORDER BY File.FileSize
SELECT File.File, Component.Component FROM File, Component WHERE File.Component_ = Component.Component ORDER BY Component.Directory_, File.FileName
SELECT File.File, Component.Component FROM File, Component WHERE File.Component_ = Component.Component AND (File.FileSize > 1000 OR Component.Attributes = 0)
SELECT Property.Property, Media.DiskId FROM Property, Media
SELECT * FROM Media, Upgrade
SELECT Media.DiskId, Feature.Feature FROM Feature, Media ORDER BY Feature.Feature
SELECT DISTINCT Component.Directory_, Directory.DefaultDir FROM Component, Directory WHERE Component.Directory_ = Directory.Directory
SELECT Registry.Registry, Component.Directory_ FROM Registry, Component WHERE Registry.Component_ = Component.Component
SELECT Shortcut.Shortcut, Component.Component, Directory.Directory FROM Shortcut, Component, Directory WHERE Shortcut.Component_ = Component.Component AND Shortcut.Directory_ = Directory.Directory
SELECT Control.Control, Dialog.Dialog FROM Dialog, Control WHERE Control.Dialog_ = Dialog.Dialog AND Dialog.Dialog = '{Dialog.Dialog}'
SELECT ControlEvent.Event, Control.Control FROM Control, ControlEvent WHERE ControlEvent.Dialog_ = Control.Dialog_ AND ControlEvent.Control_ = Control.Control
SELECT File.File, Media.DiskId FROM File, Media WHERE File.Sequence <= Media.LastSequence
