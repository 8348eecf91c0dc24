#include "Application.h"

#include <iostream>
#include <stdexcept>

namespace velmora {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Report(error);
    } catch (...) {
        Report(std::runtime_error("An unknown error stopped the action."));
    }
    return false;
}

void TApplication::Report(const std::exception& error) {
    if (FHandler) {
        try {
            FHandler(error);
            return;
        } catch (...) {
        }
    }
    std::cerr << "velmora: " << error.what() << '\n';
}

} // namespace velmora
