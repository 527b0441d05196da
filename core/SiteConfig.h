#pragma once
// The site configuration file that the administrative application keeps
// beside this executable, and the directory resolver built on it.

#include <QString>

// Name of the site configuration file; found in any letter case.
extern const QString SiteConfigFileName; // "VELTRANO_KOLM_SERVER.ini"

// Reads one value of a private-profile (INI) file: section and key matched
// ignoring case, the first section of that name and the first occurrence of
// the key in it counting; the value trimmed of blanks and stripped of one pair
// of matching quotes; a key present with an empty value gives the empty text;
// at most 2047 characters. A missing file, section or key gives defaultValue.
QString ReadProfileString(
    const QString& fileName, const QString& section, const QString& key, const QString& defaultValue);

// The site configuration file in directory (which ends in a separator): the
// file whose name is SiteConfigFileName in any letter case; when there is
// none, directory + SiteConfigFileName (which then yields only defaults).
QString SiteConfigFile(const QString& directory);

// The path of one of the application's working directories for a directory
// code ("D", "B", "TD", "TB", "BK", "BD", "BB", "DE", "DI"), read afresh from
// the site configuration file of the executable's directory. May create the
// "BCKP", "EXPORTA" or "IMPORTA" directory; throws Exception with
// "Não é possível criar o diretório: " and the path when that fails.
QString Busca_Diretorio(const QString& code);
// The same with the site configuration file of executableDirectory.
QString Busca_Diretorio(const QString& code, const QString& executableDirectory);
