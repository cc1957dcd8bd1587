#pragma once

#include <QString>

#include <functional>

// Where the program keeps its data.
//
// A copy of the program in a folder of its own (the build folder, an unpacked copy) keeps its data beside itself,
// as it always did: the portable mode. An installed program keeps its data in the user's data home
// (~/.local/share/Vantrel), laid out on first start from the files the package installs below
// <prefix>/share/vantrel; upgrading the package never touches that folder.
//
// The program counts as installed when the package's marker file <prefix>/share/vantrel/installed exists beside
// its program folder <prefix>/lib/vantrel, or when it may not write into its program folder. The write permission
// alone is not enough: root may write into /usr, and the program run as root would then scatter data there.
class AppFolder {
public:
    enum class Mode { Portable, Installed };

    static inline const QString DataFolderName = QStringLiteral("Vantrel");
    static inline const QString MarkerFile = QStringLiteral("installed");

    // <prefix>/share/vantrel for a program in <prefix>/lib/vantrel, with a trailing '/'.
    static QString shareFolder(const QString &programFolder);
    static Mode modeOf(const QString &programFolder);

    // The data folder of an installed program below a data home such as ~/.local/share, with a trailing '/'.
    static QString installedFolder(const QString &dataHome);

    // Lays out an installed data folder: the database and its folders, then whatever of the shared files is
    // missing (Empty.Doc into DB/, Help/, BasicExcel/). A file that exists is never replaced, so the user's
    // changes survive every later start. `installDemo` runs only when the database was created by this call.
    // The folder, DB/ and Bak/ are the user's alone (0700), the database and the copied files too (0600), also
    // when an earlier start left them readable by others.
    static bool layOut(const QString &folder, const QString &share,
                       const std::function<bool(const QString &folder)> &installDemo, QString *error = nullptr);

    // Where the program in `programFolder` keeps its data, with a trailing '/', without laying anything out.
    static QString locate(const QString &programFolder);

    // The application folder of the program in `programFolder`, with a trailing '/': the program folder itself
    // when portable, else the installed data folder in the user's data home, laid out with the demo content of
    // vantrel-demo (beside the program) on the first start.
    static QString forProgram(const QString &programFolder, QString *error = nullptr);

    // From here on, every file and folder the process (and a program it starts) creates is its user's alone
    // (umask 077): contract documents, archives and exports are nobody else's to read. A folder that exists keeps
    // the modes its owner gave it.
    static void keepNewFilesPrivate();
};
