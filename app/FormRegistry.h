// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"
#include "FormNames.h"

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

    // A window is registered under its class's name, so no caller spells it.
    template <typename T>
    void registerForm(std::function<T *()> factory = [] { return new T; })
    {
        registerForm(nameOf<T>(), [factory = std::move(factory)]() -> Form * { return factory(); });
    }
    // Under a name of the caller's choosing: tests put a stand-in where a window would be.
    void registerForm(const QString &name, Factory factory);

    Form &reach(const QString &name);
    bool isLoaded(const QString &name) const;

    // For windows that need another window's own controls, by its class.
    template <typename T>
    T &reach()
    {
        auto *form = qobject_cast<T *>(&reach(nameOf<T>()));
        if (!form)
            throw std::logic_error("form registered under the wrong class");
        return *form;
    }

    template <typename T>
    static const QString &nameOf()
    {
        // Made once: the main window's timer reaches the phrase board a thousand times a second.
        static const QString name = QString::fromLatin1(T::staticMetaObject.className());
        return name;
    }

    // Deletes every loaded window and forgets the factories (tests start from nothing).
    void reset();

private:
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Form>> m_forms;
};
