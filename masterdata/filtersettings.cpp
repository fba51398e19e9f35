#include "masterdata/filtersettings.h"

#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tspecombobox.h"
#include "masterdata/radiogroup.h"

#include <QCheckBox>
#include <QSlider>

namespace {

const QString kSection = QStringLiteral("SETTINGS");

// Radio indexes and slider positions are taken only from a stored number.
bool ReadNumber(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

TFilterSettings::TFilterSettings(QString prefix)
    : m_prefix(std::move(prefix))
{}

void TFilterSettings::AddText(TKRTLabelEdit *edit, const QString &name)
{
    AddValue(
        name,
        QString(),
        [edit] { return edit->Text(); },
        [edit](const QString &v) { edit->SetText(v); });
}

void TFilterSettings::AddRadio(TRadioGroup *group, const QString &name)
{
    AddValue(
        name,
        QStringLiteral("0"),
        [group] { return QString::number(qMax(0, group->ItemIndex())); },
        [group](const QString &v) {
            int index = 0;
            if (!ReadNumber(v, &index) || index < 0 || index >= group->Count())
                index = 0;
            group->SetItemIndex(index);
        });
}

void TFilterSettings::AddFlag(QCheckBox *box, const QString &name, bool defaultValue)
{
    AddValue(
        name,
        QLatin1String(defaultValue ? kIniYes : kIniNo),
        [box] { return QLatin1String(box->isChecked() ? kIniYes : kIniNo); },
        [box](const QString &v) { box->setChecked(v == QLatin1String(kIniYes)); });
}

void TFilterSettings::AddSlider(QSlider *slider, const QString &name, int defaultValue)
{
    AddValue(
        name,
        QString::number(defaultValue),
        [slider] { return QString::number(slider->value()); },
        [slider](const QString &v) {
            int position = 1;
            if (!ReadNumber(v, &position))
                position = 1;
            slider->setValue(position);
        });
}

void TFilterSettings::AddLookup(TSPEComboBox *box, const QString &name)
{
    AddValue(
        name,
        QString(),
        [box] { return box->Text(); },
        [box](const QString &v) {
            if (v.trimmed().isEmpty())
                box->ClearField();
            else
                box->SetText(v.trimmed());
        });
}

void TFilterSettings::AddValue(const QString &name,
                               QString defaultValue,
                               std::function<QString()> read,
                               std::function<void(const QString &)> write)
{
    m_bindings.push_back({name, std::move(defaultValue), std::move(read), std::move(write)});
}

void TFilterSettings::Save()
{
    if (SessionInfo().sUserSettingsFile.isEmpty())
        return;
    for (const TBinding &b : m_bindings) {
        const QString key = Key(b.name);
        const QString value = b.read();
        const auto known = m_stored.constFind(key);
        if (known != m_stored.constEnd() && *known == value)
            continue;
        if (IniWriteText(kSection, key, value, SessionInfo().sUserSettingsFile))
            m_stored.insert(key, value);
    }
}

bool TFilterSettings::Restore(const QString &firstName)
{
    const QString absent = QLatin1String(kIniAbsent);
    if (Read(Key(firstName), absent) == absent)
        return false;
    for (const TBinding &b : m_bindings) {
        const QString key = Key(b.name);
        const QString stored = Read(key, absent);
        if (stored == absent) {
            b.write(b.defaultValue);
            continue;
        }
        m_stored.insert(key, stored);
        b.write(stored);
    }
    return true;
}

QString TFilterSettings::Read(const QString &key, const QString &defaultValue)
{
    return IniReadText(kSection, key, defaultValue, SessionInfo().sUserSettingsFile);
}

void TFilterSettings::Write(const QString &key, const QString &value)
{
    const QString file = SessionInfo().sUserSettingsFile;
    if (!file.isEmpty())
        IniWriteText(kSection, key, value, file);
}
