#include "support/Fakes.h"

#include <stdexcept>

int FakeDialogs::message(const QString &text, int style, const QString &title)
{
    messages.push_back({text, style, title});
    if (onMessage)
        onMessage();
    if (style == platform::YesNo) {
        if (answers.empty())
            return platform::Yes;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    return platform::Ok;
}

QString FakeDialogs::input(const QString &prompt, const QString &defaultAnswer)
{
    prompts << prompt;
    presets << defaultAnswer;
    if (inputs.empty())
        return defaultAnswer;
    QString a = inputs.front();
    inputs.pop_front();
    return a;
}

QString FakeDialogs::secret(const QString &prompt)
{
    prompts << prompt;
    if (secrets.empty())
        return {};
    QString a = secrets.front();
    secrets.pop_front();
    return a;
}

int FakeDialogs::choose(const QString &text, const QStringList &offered)
{
    messages.push_back({text, -1, {}});
    buttons.push_back(offered);
    if (onMessage)
        onMessage();
    if (choices.empty())
        return static_cast<int>(offered.size()) - 1;
    const int a = choices.front();
    choices.pop_front();
    return a;
}

QString FakeDialogs::saveFileName(const QString &caption, const QString &, const QString &)
{
    prompts << caption;
    if (savePaths.empty())
        return {};
    QString a = savePaths.front();
    savePaths.pop_front();
    return a;
}

QStringList FakeDialogs::texts() const
{
    QStringList out;
    for (const ShownMessage &m : messages)
        out << m.text;
    return out;
}

bool FakeClipboard::trySetText(const QString &t)
{
    ++attempts;
    if (lockedFor < 0 || attempts <= lockedFor)
        return false;
    text = t;
    hasText = true;
    return true;
}

void FakeShell::openAddress(const QString &address)
{
    if (fail)
        throw std::runtime_error("The shell could not start the command.");
    opened << address;
}

void FakeYield::yield()
{
    ++count;
    if (hook)
        hook(count);
}

PlainTableList::PlainTableList(const QStringList &n) : names(n), selected(static_cast<size_t>(n.size()), false)
{
    if (!names.isEmpty())
        current = 0;
}

void PlainTableList::removeAt(int index)
{
    names.removeAt(index);
    selected.erase(selected.begin() + index);
    if (current >= count())
        current = count() - 1;
}

void PlainTableList::append(const QString &name)
{
    names << name;
    selected.push_back(false);
}

void PlainTableList::clear()
{
    names.clear();
    selected.clear();
    current = -1;
}

void PlainTableList::select(const QStringList &which)
{
    for (int i = 0; i < count(); ++i)
        selected[static_cast<size_t>(i)] = which.contains(names[i]);
}
