#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "platform/disk_space.h"
#include "platform/file_io.h"
#include "platform/local_server_name.h"
#include "platform/network_folder.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

// The file steps every system must give the same meaning: what the backups, the settings and
// the data folder's checks are built on.
class TestFileIo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void replaceTakesThePlaceOfAnExistingFile_data() {
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("new name") << false;
        QTest::newRow("over an old file") << true;
    }
    void replaceTakesThePlaceOfAnExistingFile() {
        QFETCH(bool, targetExists);
        const QString draft = path(QStringLiteral("数据.part"));
        const QString target = path(QStringLiteral("数据.db"));
        QFile::remove(target);
        if (targetExists) {
            Write(target, "old");
        }
        Write(draft, "new contents");
        QVERIFY(platform::SyncFile(draft));
        QVERIFY(platform::ReplaceFile(draft, target));
        QVERIFY(platform::SyncFolder(dir_.path()));
        QCOMPARE(ReadAll(target), QByteArray("new contents"));
        QVERIFY(!QFileInfo::exists(draft));
    }

    void failuresSayWhy() {
        const QString missing = path(QStringLiteral("missing/file"));
        errno = 0;
        QVERIFY(!platform::SyncFile(missing));
        QVERIFY(errno != 0);
        errno = 0;
        QVERIFY(!platform::ReplaceFile(missing, path(QStringLiteral("other"))));
        QVERIFY(errno != 0);
        QCOMPARE(platform::ProbeWrite(path(QStringLiteral("missing"))), ENOENT);
        QVERIFY(!platform::IdentityOf(missing));
    }

    void privateFileIsWrittenWholeOverTheOld() {
        const QString target = path(QStringLiteral("connection.ini"));
        QVERIFY(platform::WritePrivateFile(target, "first"));
        QVERIFY(platform::WritePrivateFile(target, QByteArray(100000, 'x')));
        QCOMPARE(ReadAll(target), QByteArray(100000, 'x'));
        QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral("*.part")}, QDir::Files),
                 QStringList());
#ifndef Q_OS_WIN
        // Elsewhere the folder's own permissions keep other users out.
        QCOMPARE(QFileInfo(target).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
#endif
    }

    void identityChangesWhenAFileIsReplaced() {
        const QString target = path(QStringLiteral("checked.db"));
        Write(target, "one");
        const auto before = platform::IdentityOf(target);
        QVERIFY(before);
        QVERIFY(before->regular);
        QCOMPARE(platform::IdentityOf(target), before);
        Write(path(QStringLiteral("other.db")), "two");
        QVERIFY(platform::ReplaceFile(path(QStringLiteral("other.db")), target));
        QVERIFY(platform::IdentityOf(target) != before);
        QVERIFY(!platform::IdentityOf(dir_.path())->regular);
    }

    void modifiedTimeIsSet() {
        const QString target = path(QStringLiteral("stamped.db"));
        Write(target, "x");
        const QDateTime when(QDate(2025, 6, 1), QTime(8, 30, 0));
        platform::SetModifiedTime(target, when);
        QCOMPARE(QFileInfo(target).lastModified(), when);
    }

    void diskOfAFolder() {
        const QTemporaryDir empty;
        QCOMPARE(platform::ProbeWrite(empty.path()), 0);
        QCOMPARE(QDir(empty.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        const platform::VolumeSpace space = platform::SpaceOf(dir_.path());
        QVERIFY(space.total > 0);
        QVERIFY(space.available > 0 && space.available <= space.total);
        QVERIFY(platform::SameVolume(dir_.path(), path(QStringLiteral("."))));
        QCOMPARE(platform::NetworkFolderKind(dir_.path()), QString());
    }

    void networkPathsAreNamed() {
#ifdef Q_OS_WIN
        QVERIFY(!platform::NetworkFolderKind(QStringLiteral("//server/share/data")).isEmpty());
        QVERIFY(!platform::NetworkFolderKind(QStringLiteral("\\\\server\\share")).isEmpty());
#else
        QSKIP("UNC paths are a Windows form; Linux shares are told by their file system");
#endif
    }

    void localServerNamesDifferByKey() {
        const QString a = platform::LocalServerName(QStringLiteral("aaaa"));
        QCOMPARE(platform::LocalServerName(QStringLiteral("aaaa")), a);
        QVERIFY(platform::LocalServerName(QStringLiteral("bbbb")) != a);
        QVERIFY(a.contains(QStringLiteral("aaaa")));
    }
};

QTEST_GUILESS_MAIN(TestFileIo)
#include "test_file_io.moc"
