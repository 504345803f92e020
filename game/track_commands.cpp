// The track commands of the main window: save the position to a file, open one.
#include <string>
#include <vector>

#include "game/quillory_main_form.h"
#include "game/track_file.h"
#include "game/track_writer.h"

void TQuilloryMainForm::mSaveTrackClick() {
    SaveDialog.initialDir = FileDialogStartFolder(trackFolder);
    std::string fileName;
    if (!Dialogs().SaveFileName(this, SaveDialog, fileName))
        return;
    SaveLinesFile(fileName.c_str(), TrackLines(currentTable));
    // Only a folder the track could be saved in.
    RememberTrackFolder(fileName);
}

void TQuilloryMainForm::mOpenTrackClick() {
    OpenDialog.initialDir = FileDialogStartFolder(trackFolder);
    std::string fileName;
    if (Dialogs().OpenFileName(this, OpenDialog, fileName))
        OpenTrack(fileName);
}

void TQuilloryMainForm::OpenTrack(const std::string& fileName) {
    RememberTrackFolder(fileName);
    LoadTrack(fileName.c_str());
}

void TQuilloryMainForm::RememberTrackFolder(const std::string& fileName) {
    // Both dialogs start next time where the player last chose a track.
    trackFolder = FolderOf(fileName);
}

void TQuilloryMainForm::LoadTrack(const char* fileName) {
    std::vector<std::string> lines;
    if (!ReadLines(fileName, lines))
        return;
    TQuilloryTable table;
    if (!TableFromTrackLines(lines, table))
        return;
    currentTable = table;
    ResetPlay();
}
