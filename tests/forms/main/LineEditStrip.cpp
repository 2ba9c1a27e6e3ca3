// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own line edit in place of the strip's text box, with the strip's handling of Return (the
// line is cleared) and Up (the last line comes back), Qt's inline completion, and beside it a
// menu button with the strip's commands, a board of buttons and an About box, all stock Qt: what
// assistive technology hears from it is what it must hear from Vocalo. With --clipboard TEXT it
// only holds TEXT on the clipboard until it is ended, for a paste into either.
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class StripKeys : public QObject
{
public:
    explicit StripKeys(QLineEdit *line) : m_line(line) { }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_last = m_line->text();
            m_line->setText(QString());
        } else if (key == Qt::Key_Up) {
            m_line->setText(m_last);
        }
        return false;
    }

private:
    QLineEdit *m_line;
    QString m_last;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--clipboard")) {
        QGuiApplication::clipboard()->setText(arguments.at(2));
        // The test pastes once the clipboard is ours.
        QTextStream(stdout) << "ready" << Qt::endl;
        return QApplication::exec();
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Line edit strip"));
    auto *line = new QLineEdit(&window);
    line->setAccessibleName(QStringLiteral("Text to speak"));
    StripKeys keys(line);
    line->installEventFilter(&keys);
    auto *completer = new QCompleter(QStringList { QStringLiteral("doorbell") }, line);
    completer->setCompletionMode(QCompleter::InlineCompletion);
    line->setCompleter(completer);

    auto *menuButton = new QPushButton(QStringLiteral("Menu"), &window);
    auto *menu = new QMenu(menuButton);
    menuButton->setMenu(menu);
    QDialog board(&window);
    board.setWindowTitle(QStringLiteral("Quick Window!"));
    auto *column = new QVBoxLayout(&board);
    for (const char *phrase : { "Yes", "No" })
        column->addWidget(new QPushButton(QString::fromLatin1(phrase), &board));
    menu->addAction(QStringLiteral("Options"));
    QObject::connect(menu->addAction(QStringLiteral("Quick Window")), &QAction::triggered, &board,
        &QDialog::show);
    menu->addAction(QStringLiteral("Secret Place"));
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("About")), &QAction::triggered, &window, [&] {
        QMessageBox::information(&window, QStringLiteral("About"), QStringLiteral("Stock Qt"));
    });
    QObject::connect(
        menu->addAction(QStringLiteral("Exit")), &QAction::triggered, &app, &QApplication::quit);

    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(line);
    layout->addWidget(menuButton);
    window.resize(360, 80);
    window.show();
    return QApplication::exec();
}
