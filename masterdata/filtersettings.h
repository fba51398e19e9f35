#pragma once

// The filters of a list window kept in the per-operator settings file: each control is bound
// to a key (prefix + name) and its value is written after every extraction and read back when
// the window opens.

#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class QCheckBox;
class QSlider;
class TKRTLabelEdit;
class TRadioGroup;
class TSPEComboBox;

class TFilterSettings
{
public:
    explicit TFilterSettings(QString prefix); // "FrmGesCli_"

    // Bindings, in the order the keys are written. Controls are Not owned.
    void AddText(TKRTLabelEdit *edit, const QString &name);
    void AddRadio(TRadioGroup *group, const QString &name);
    void AddFlag(QCheckBox *box, const QString &name, bool defaultValue);
    void AddSlider(QSlider *slider, const QString &name, int defaultValue);
    void AddLookup(TSPEComboBox *box, const QString &name);
    void AddValue(const QString &name,
                  QString defaultValue,
                  std::function<QString()> read,
                  std::function<void(const QString &)> write);

    QString Key(const QString &name) const { return m_prefix + name; }

    // Writes every bound value into the per-operator settings file. A value the file is known
    // to hold already (read back or written before) is not written again: each write replaces
    // the whole file on disk.
    void Save();
    // Sets every control from its key. Nothing is set, and false comes back, when the key
    // firstName reads absent: no filter was ever saved and the caller resets them.
    bool Restore(const QString &firstName);

    // One key of the per-operator settings file (SETTINGS section); defaultValue when absent.
    static QString Read(const QString &key, const QString &defaultValue);
    static void Write(const QString &key, const QString &value);

private:
    struct TBinding
    {
        QString name;
        QString defaultValue;
        std::function<QString()> read;
        std::function<void(const QString &)> write;
    };
    QString m_prefix;
    std::vector<TBinding> m_bindings;
    QHash<QString, QString> m_stored; // key -> the value the file holds
};
