// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own line edit in place of the strip's text box, with the strip's handling of Return (the
// line is cleared) and Up (the last line comes back): what assistive technology hears from it is
// what it must hear from the strip. With --clipboard TEXT it only holds TEXT on the clipboard
// until it is ended, for a paste into either.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
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
    (new QVBoxLayout(&window))->addWidget(line);
    window.resize(360, 40);
    window.show();
    return QApplication::exec();
}
