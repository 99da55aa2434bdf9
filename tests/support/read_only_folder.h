// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A folder that allows no new files, holding one file that everybody may write. Root ignores
// permission bits (CI runs the tests as root), so asNobody() runs a write in a child process
// that has dropped to the user nobody, and returns its exit status: 0 when the write succeeded.
struct ReadOnlyFolder {
    QTemporaryDir dir;
    QString file;

    explicit ReadOnlyFolder(const QString& name) : file(dir.filePath(name)) {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write("old\r\n") != 5 ||
            !f.setPermissions(QFile::Permissions(0x6666)))
            qFatal("cannot write %s", qPrintable(file));
        setWritable(false);
    }
    ~ReadOnlyFolder() { setWritable(true); }
    void setWritable(bool writable) const {
        ::chmod(qPrintable(dir.path()), writable ? 0777 : 0555);
    }

    static int asNobody(const std::function<bool()>& write) {
        const pid_t child = fork();
        if (child == 0) {
            const bool dropped = geteuid() != 0 || (setgroups(0, nullptr) == 0 &&
                                                    setgid(65534) == 0 && setuid(65534) == 0);
            _exit(dropped ? !write() : 2);
        }
        int status = -1;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
                   ? WEXITSTATUS(status)
                   : -1;
    }

    [[nodiscard]] ino_t inode() const {
        struct stat st {};
        return ::stat(qPrintable(file), &st) == 0 ? st.st_ino : 0;
    }
};
