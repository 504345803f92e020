// A stand-in for the modal user interface: records every request and answers at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graphics/platform_dialogs.h"

struct TRecordedMessage {
    std::string text;
    std::string caption;
    TMessageIcon icon;
};

class TRecordingDialogs final : public TPlatformDialogs {
public:
    std::vector<TRecordedMessage> messages;
    std::vector<TFileDialogOptions> fileDialogs;
    int modalShows = 0;
    // What the next file dialog answers: a confirmed name, or cancel when empty.
    std::string nextFileName;
    // Called during a modal show, standing in for what the person would do there.
    std::function<void(QDialog&)> onShowModal;

    TRecordingDialogs() { SetDialogs(this); }
    ~TRecordingDialogs() override { SetDialogs(nullptr); }

    void MessageBox(QWidget*, const std::string& text, const std::string& caption,
                    TMessageIcon icon) override {
        messages.push_back({text, caption, icon});
    }
    bool OpenFileName(QWidget*, const TFileDialogOptions& options, std::string& fileName) override {
        return Answer(options, fileName);
    }
    bool SaveFileName(QWidget*, const TFileDialogOptions& options, std::string& fileName) override {
        return Answer(options, fileName);
    }
    int ShowModal(QDialog& dialog) override {
        ++modalShows;
        if (onShowModal)
            onShowModal(dialog);
        return 1;
    }

private:
    bool Answer(const TFileDialogOptions& options, std::string& fileName) {
        fileDialogs.push_back(options);
        if (nextFileName.empty())
            return false;
        fileName = nextFileName;
        return true;
    }
};
