#pragma once
#include <stdexcept>
#include <string>

#include <QObject>
#include <QString>

namespace Platform {

// A window's control found by its object name, the way an operator knows it by
// its caption: code that drives a window from outside (the meeting harness,
// tests) needs no access to the window's members. A missing control is a
// programming error and throws.
template <class T>
T* Control(const QObject& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (!found)
        throw std::logic_error("no control \"" + name.toStdString() + "\" in " + window.objectName().toStdString());
    return found;
}

// The control at index of a control array ("Command_BOX_set_time", 2 names "Command_BOX_set_time_2").
template <class T>
T* Control(const QObject& window, const QString& name, size_t index) {
    return Control<T>(window, name + "_" + QString::number(index));
}

}  // namespace Platform
