// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

#include <QHash>
#include <QPointer>
#include <QString>

#include <functional>
#include <stdexcept>

// The one owner of the system's windows: one instance of each, reached by name. The first reach
// creates the window and runs its load handler without showing it; later reaches return the
// same window, shown or hidden. A window the user closed is gone, and the next reach loads a
// new one.
class FormRegistry
{
public:
    using Factory = std::function<Form *()>;

    static FormRegistry &instance();

    void registerForm(const QString &name, Factory factory);
    Form &reach(const QString &name);
    bool isLoaded(const QString &name) const;

    // For windows that need another window's own controls, by its class.
    template <typename T>
    T &reach()
    {
        // Made once: the main window's timer reaches the phrase board a thousand times a second.
        static const QString name = QString::fromLatin1(T::staticMetaObject.className());
        auto *form = qobject_cast<T *>(&reach(name));
        if (!form)
            throw std::logic_error("form registered under the wrong class");
        return *form;
    }

    // Deletes every loaded window and forgets the factories (tests start from nothing).
    void reset();

private:
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Form>> m_forms;
};
