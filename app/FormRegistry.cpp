// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormRegistry.h"

FormRegistry &FormRegistry::instance()
{
    static FormRegistry registry;
    return registry;
}

void FormRegistry::registerForm(const QString &name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

Form &FormRegistry::reach(const QString &name)
{
    if (Form *form = m_forms.value(name))
        return *form;
    const auto factory = m_factories.constFind(name);
    if (factory == m_factories.cend())
        throw std::logic_error("no window named " + name.toStdString());
    Form *form = (*factory)();
    form->setObjectName(name);
    // Registered before its load handler runs: the handler may run the event loop, and a
    // handler reaching this window meanwhile must find this instance, not make another.
    m_forms.insert(name, form);
    form->load();
    return *form;
}

bool FormRegistry::isLoaded(const QString &name) const
{
    return !m_forms.value(name).isNull();
}

void FormRegistry::reset()
{
    for (const QPointer<Form> &form : std::as_const(m_forms))
        delete form.data();
    m_forms.clear();
    m_factories.clear();
}
