#include "ui/ui_texts.hpp"

#include "engine/file_system.hpp"

namespace vantrel {

Text TextFromUtf16(std::u16string_view text) {
  Text out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(static_cast<Char>(c));
  return out;
}

namespace {

// One row of the text table: English, then German.
struct TextRow {
  Text UiTexts::*field;
  std::u16string_view english;
  std::u16string_view german;
};

const TextRow kRows[] = {
    {&UiTexts::TextDirectory, u"     Directory", u"   Verzeichnis"},
    {&UiTexts::TextBrowse, u"Browse", u"Suchen"},
    {&UiTexts::TextAdd, u"Add", u"Hinzufügen"},
    {&UiTexts::TextRemove, u"Remove", u"Entfernen"},
    {&UiTexts::TextOptionsTab, u"Options", u"Optionen"},
    {&UiTexts::TextResultsTab, u"Results", u"Ergebnisse"},
    {&UiTexts::TextSearchOptions, u"Search options", u"Suchoptionen"},
    {&UiTexts::TextIncludeHidden, u"Include hidden files", u"Versteckte Dateien durchsuchen"},
    {&UiTexts::TextIncludeSystem, u"Include system files", u"Systemdateien durchsuchen"},
    {&UiTexts::TextSubdirectories, u"Search subdirectories", u"Unterordner durchsuchen"},
    {&UiTexts::TextFileTypes, u"File types", u"Dateitypen"},
    {&UiTexts::TextMethod, u"Method", u"Metode"},
    {&UiTexts::TextOtherOptions, u"Other options", u"Weitere Optionen"},
    {&UiTexts::TextSizeLimit, u"Filesize limit", u"Größenbegrenzung"},
    {&UiTexts::TextAlwaysOnTop, u"Always on top", u"Immer im Vordergrund"},
    {&UiTexts::TextHighPriority, u"High Priority", u"Hohe Priorität"},
    {&UiTexts::TextColumnGroup, u"Group", u"Gruppe"},
    {&UiTexts::TextColumnFilename, u"Filename", u"Dateiname"},
    {&UiTexts::TextColumnSize, u"Size", u"Größe"},
    {&UiTexts::TextSelectAll, u"Select all", u"Alle auswählen"},
    {&UiTexts::TextSelectAllButOne, u"Select all except one", u"Duplikate auswählen"},
    {&UiTexts::TextReverseSelection, u"Reverse selection", u"Auswahl aufheben"},
    {&UiTexts::TextClearList, u"Clear list", u"Liste Löschen"},
    {&UiTexts::TextDeleteSelected, u"Delete selected files", u"Auswahl löschen"},
    {&UiTexts::TextDirectoryTip, u"Select a directory", u"Ordner auswählen"},
    {&UiTexts::TextAddTip, u"Add directory to search list", u"Ordner zur Suchliste hinzufügen"},
    {&UiTexts::TextRemoveTip, u"Remove directory from search list", u"Ordner aus der Suchliste entfernen"},
    {&UiTexts::TextSearchListTip, u"Search list", u"Suchliste"},
    {&UiTexts::TextFileTypesTip, u"Search for specified file types", u"Suche nach bestimmten Dateitypen"},
    {&UiTexts::TextStartTip, u"Start searching", u"Suche starten"},
    {&UiTexts::TextPauseTip, u"Pause searching", u"Suche anhalten"},
    {&UiTexts::TextStopTip, u"Stop searching", u"Suche stoppen"},
    {&UiTexts::TextBrowseTitle, u"Please select a directory", u"Bitte wählen Sie einen Ordner aus"},
    {&UiTexts::TextErrorTitle, u"Error!", u"Fehler!"},
    {&UiTexts::TextInvalidDirectory, u"The selected directory is not valid.",
     u"Das ausgewählte Verzeichnis ist ungültig."},
    {&UiTexts::TextNoDirectories, u"Please select one Or more directories To search.",
     u"Bitte wählen Sie einen oder mehrere Ordner aus."},
    {&UiTexts::TextNewSearchTitle, u"New search", u"Neue Suche"},
    {&UiTexts::TextNewSearchQuestion, u"Do you want to reset the list and start a new search?",
     u"Aktuelle Liste löschen und neue Suche beginnen?"},
    {&UiTexts::TextClearListQuestion, u"Clear all items from list?",
     u"Sollen alle Elemente aus der Liste gelöscht werden?"},
    {&UiTexts::TextDeleteQuestion, u"Do you really want to delete the selected files?",
     u"Möchten Sie die ausgewählten Dateien wirklich löschen?"},
    {&UiTexts::TextNoDuplicates, u"No duplicates found.", u"Keine Duplikate gefunden."},
    {&UiTexts::TextMenuOpen, u"Open", u"Öffnen"},
    {&UiTexts::TextMenuReveal, u"Open containing folder", u"Enthaltenden Ordner öffnen"},
    {&UiTexts::TextMenuCopyPath, u"Copy path", u"Pfad kopieren"},
    {&UiTexts::TextMenuCheckFolder, u"Check all duplicates in this folder",
     u"Alle Duplikate in diesem Ordner auswählen"},
    {&UiTexts::TextMenuUncheckFolder, u"Uncheck all in this folder", u"Auswahl in diesem Ordner aufheben"},
    {&UiTexts::TextMenuCheckTree, u"Check all duplicates in this folder and its subfolders",
     u"Alle Duplikate in diesem Ordner und seinen Unterordnern auswählen"},
    {&UiTexts::TextMenuUncheckTree, u"Uncheck all in this folder and its subfolders",
     u"Auswahl in diesem Ordner und seinen Unterordnern aufheben"},
    {&UiTexts::TextOpenFailed, u"The file could not be opened:", u"Die Datei konnte nicht geöffnet werden:"},
    {&UiTexts::TextRevealFailed, u"The folder could not be shown:",
     u"Der Ordner konnte nicht angezeigt werden:"},
};

UiTexts FillTexts(bool german) {
  UiTexts t;
  for (const TextRow& row : kRows) t.*row.field = TextFromUtf16(german ? row.german : row.english);
  t.TextWindowTitle = TextFromAscii(" Vantrel v1.4");
  t.TextInformationTitle = TextFromAscii("Information");
  return t;
}

}  // namespace

UiTexts EnglishTexts() { return FillTexts(false); }
UiTexts GermanTexts() { return FillTexts(true); }

UiTexts MacTexts() {
  UiTexts t = FillTexts(false);
  t.TextPauseTip = TextFromAscii("Pause/Resume searching");
  t.TextNoDirectories = TextFromAscii("Please select one or more directories to search.");
  t.TextResume = TextFromAscii("Resume");
  // The Mac programs ask their own delete question and have no hidden or
  // system options.
  t.TextDeleteQuestion.clear();
  t.TextIncludeHidden.clear();
  t.TextIncludeSystem.clear();
  return t;
}

bool SelectsGerman(const Text& languageName) {
  // The name arrives in a buffer of eight with its terminator: seven characters at most.
  Text cut = LowerCaseText(languageName.substr(0, 7));
  return cut == TextFromAscii("deutsch");
}

}  // namespace vantrel
