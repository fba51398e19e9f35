#pragma once

// The program's settings files: classic INI text (sections in brackets, key=value lines).
//
// Our own small reader and writer: keys and sections are compared ignoring case, values are
// kept as written (no escaping), every other section, line and comment is preserved, CR LF
// files are read and keep their line ends, text is UTF-8. A missing file reads as defaults;
// writing creates it. Files are replaced atomically.

#include <QString>

// The default that tells an absent key from an empty value.
inline constexpr const char *kIniAbsent = "FAIL_EXISTS";
// Flags are stored as these texts.
inline constexpr const char *kIniYes = "SI";
inline constexpr const char *kIniNo = "NO";

// The value of key in section (blanks around it removed), or defaultValue when the file,
// the section or the key is absent.
QString IniReadText(const QString &section,
                    const QString &key,
                    const QString &defaultValue,
                    const QString &file);
// Sets key=value in section, adding the section and the key when absent. Line breaks inside
// the value become blanks, so a value can never add lines of its own. False when the file
// cannot be written.
bool IniWriteText(const QString &section,
                  const QString &key,
                  const QString &value,
                  const QString &file);

// "SI" reads true, "NO" false (ignoring case); an absent key or any other text gives
// defaultValue.
bool IniReadFlag(const QString &section, const QString &key, bool defaultValue, const QString &file);
bool IniWriteFlag(const QString &section, const QString &key, bool value, const QString &file);
