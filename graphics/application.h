// The application object: the message loop and the display of escaped exceptions.
#pragma once

#include <exception>
#include <string>

#include <QApplication>

// The text shown for an exception that escaped an event handler: a library
// exception's detail (naming the file and the cause) or else its fixed text, a
// standard exception's what(), or a fixed text for anything else.
std::string ExceptionMessage(const std::exception_ptr& error);

// Shows `error` in a message box captioned with the application's title; the program goes on.
void ShowException(const std::exception_ptr& error);

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    // Delivers every event; an exception that escapes a handler is shown and swallowed.
    bool notify(QObject* receiver, QEvent* event) override;
};
