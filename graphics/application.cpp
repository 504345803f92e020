#include "graphics/application.h"

#include "containers/kest_exception.h"
#include "graphics/platform_dialogs.h"

std::string ExceptionMessage(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const TKestException& e) {
        return e.Detail().empty() ? std::string(e.What()) : e.Detail();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void ShowException(const std::exception_ptr& error) {
    Dialogs().MessageBox(QApplication::activeWindow(), ExceptionMessage(error),
                         QApplication::applicationName().toStdString(), TMessageIcon::Error);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return true;
    }
}
