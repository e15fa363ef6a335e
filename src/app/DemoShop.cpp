#include "app/DemoShop.h"

#include <QFile>
#include <QSaveFile>

DemoShop::DemoShop() : m_server(QStringLiteral(":/demo/site")) { }

Result<QString> DemoShop::script()
{
    if (!m_server.isListening())
        return Result<QString>::failure(QStringLiteral("the demo shop cannot be served: ")
                                        + m_server.errorString());
    if (!m_folder.isValid())
        return Result<QString>::failure(QStringLiteral("no folder for the demo script: ")
                                        + m_folder.errorString());
    QFile stored(QStringLiteral(":/demo/demo.csv"));
    if (!stored.open(QIODevice::ReadOnly))
        return Result<QString>::failure(QStringLiteral("the demo script is missing"));
    const QByteArray text = stored.readAll().replace(
        placeholder().toUtf8(), m_server.url(QStringLiteral("/")).toString().toUtf8());
    const QString path = m_folder.filePath(QStringLiteral("demo.csv"));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        return Result<QString>::failure(QStringLiteral("the demo script cannot be written: ")
                                        + out.errorString());
    return path;
}
