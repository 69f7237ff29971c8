#include "settings/bitratelist.h"
#include "settings/formmp3.h"

#include "common/audio/audiofile.h"
#include "settings/encodersettings.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

using namespace tunevale;
using namespace tunevale::test;

namespace {

// Every property, so a comparison failure names the one that differs.
QString describe(const Mp3Encoder& e)
{
    return QStringLiteral("rate %1, quality %2, bitrate %3, max %4, vbr q %5, method %6, abr %7, "
                          "channels %8, mode %9, header %10, strict %11")
        .arg(e.sampleRate())
        .arg(e.quality())
        .arg(e.bitrate())
        .arg(e.maxVbrBitrate())
        .arg(e.vbrQuality())
        .arg(e.vbrMethod())
        .arg(e.abrBitrate())
        .arg(e.channels())
        .arg(e.channelMode())
        .arg(e.writeVbrHeader())
        .arg(e.strictMinimum());
}

template <typename Widget> Widget* control(const QWidget& dialog, const QString& name)
{
    auto* widget = dialog.findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

QComboBox* combo(const QWidget& dialog, const char* name)
{
    return control<QComboBox>(dialog, QString::fromLatin1(name));
}

QCheckBox* check(const QWidget& dialog, const char* name)
{
    return control<QCheckBox>(dialog, QString::fromLatin1(name));
}

QAbstractButton* presetButton(const QWidget& dialog, int index)
{
    return control<QAbstractButton>(dialog, QStringLiteral("opPreset_%1").arg(index));
}

// What the dialog shows in every mapped control.
QString shown(const QWidget& dialog)
{
    QStringList texts;
    for (const char* name : {"cmbFrequency", "ComboQuality", "ComboBitrate", "ComboVbrBitrate",
                             "txtVbrQuality", "cmbVBRCodingMethod", "txtAbrBitrate", "cmbChMode"})
        texts.append(combo(dialog, name)->currentText());
    for (const char* name : {"chWriteVBRHeader", "chStrictlyEnforceMinBitrate"})
        texts.append(check(dialog, name)->isChecked() ? QStringLiteral("on")
                                                      : QStringLiteral("off"));
    return texts.join(QStringLiteral(" | "));
}

// Runs the dialog modally and presses button once it is up; a guard rejects it if not.
int runModal(FormMp3& dialog, const char* button)
{
    QTimer::singleShot(0, &dialog, [&dialog, button] {
        control<QAbstractButton>(dialog, QString::fromLatin1(button))->click();
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject);
    return dialog.exec();
}

class FormMp3Test : public ::testing::Test {
protected:
    // The program's state right after start-up.
    FormMp3Test() { EXPECT_TRUE(m_settings.applyTo(m_writer)); }

    FormMp3& open()
    {
        m_dialog = std::make_unique<FormMp3>(nullptr, m_settings);
        return *m_dialog;
    }

    // What the conversion dialog does with the answer: keeps the edited copy, and a
    // conversion configures its writer from it.
    void take(const FormMp3& dialog)
    {
        if (const std::optional<EncoderSettings> edited = dialog.edited()) {
            m_settings = *edited;
            EXPECT_TRUE(m_settings.applyTo(m_writer));
        }
    }

    void ok(FormMp3& dialog)
    {
        dialog.CmdOK_Click();
        take(dialog);
    }

    AudioFile m_writer;
    EncoderSettings m_settings;
    Mp3Encoder& m_live = m_settings.Formats.mp3; // the encoder conversions get
    std::unique_ptr<FormMp3> m_dialog;
};

using FormMp3Load = FormMp3Test;

TEST_F(FormMp3Load, ShowsTheStartupEncoderAndOkWritesItBackUnchanged)
{
    FormMp3& dialog = open();
    const Mp3Encoder defaults;
    EXPECT_EQ(dialog.windowTitle(), u" Mp3 Option");
    EXPECT_EQ(combo(dialog, "ComboBitrate")->currentText(), u"96");
    EXPECT_EQ(combo(dialog, "cmbFrequency")->currentData().toInt(), defaults.sampleRate());
    EXPECT_EQ(combo(dialog, "ComboQuality")->currentText(), QString::number(defaults.quality()));
    EXPECT_EQ(combo(dialog, "ComboVbrBitrate")->currentText(),
              QString::number(defaults.maxVbrBitrate()));
    EXPECT_EQ(combo(dialog, "txtVbrQuality")->currentText(),
              QString::number(defaults.vbrQuality()));
    EXPECT_EQ(combo(dialog, "txtAbrBitrate")->currentText(),
              QString::number(defaults.abrBitrate()));
    EXPECT_EQ(combo(dialog, "cmbVBRCodingMethod")->currentIndex(), defaults.vbrMethod() + 1);
    EXPECT_EQ(combo(dialog, "cmbChMode")->currentIndex(), defaults.channelMode());
    EXPECT_EQ(check(dialog, "chWriteVBRHeader")->isChecked(), defaults.writeVbrHeader());
    EXPECT_EQ(check(dialog, "chStrictlyEnforceMinBitrate")->isChecked(), defaults.strictMinimum());
    EXPECT_EQ(control<QTabWidget>(dialog, QStringLiteral("TabStrip1"))->currentIndex(), 0);
    for (int index = 0; index < FormMp3::kPresetCount; ++index)
        EXPECT_FALSE(presetButton(dialog, index)->isChecked()) << index;

    const EncoderSettings before = m_settings;
    ok(dialog);
    EXPECT_TRUE(m_settings == before);
}

TEST_F(FormMp3Load, FrequencyItemsCarryTheirRates)
{
    const QComboBox* frequency = combo(open(), "cmbFrequency");
    ASSERT_EQ(frequency->count(), 9);
    EXPECT_EQ(frequency->itemText(0), u"  8 000 Hz");
    EXPECT_EQ(frequency->itemText(2), u"12 000 Hz ");
    for (int index = 0; index < frequency->count(); ++index) {
        // The caption without blanks is the rate the item carries.
        QString digits = frequency->itemText(index);
        digits.remove(u' ').chop(2);
        EXPECT_EQ(frequency->itemData(index).toInt(), digits.toInt()) << index;
    }
}

TEST_F(FormMp3Load, BitrateListIndexFollowsTheBitrateList)
{
    const QComboBox* bitrates = combo(open(), "ComboBitrate");
    for (int index = 0; index < bitrates->count(); ++index)
        EXPECT_EQ(BitrateListIndex(bitrates->itemText(index).toInt()), index);
    for (const int unlisted : {0, 7, 40, 80, 144, 321, -16})
        EXPECT_EQ(BitrateListIndex(unlisted), 0) << unlisted;
}

TEST_F(FormMp3Load, MethodFromTheEncoderSetsTheEnablingAtOnce)
{
    (void)m_live.setVbrMethod(Mp3Encoder::kVbrAbr);
    FormMp3& dialog = open();
    EXPECT_TRUE(combo(dialog, "txtAbrBitrate")->isEnabled());
    EXPECT_FALSE(combo(dialog, "txtVbrQuality")->isEnabled());
    EXPECT_TRUE(check(dialog, "chWriteVBRHeader")->isEnabled());
}

// Selected method position; whether the VBR quality, ABR box and the maximum/advanced
// controls are usable.
class FormMp3VbrMethod : public FormMp3Test,
                         public ::testing::WithParamInterface<std::tuple<int, bool, bool, bool>> {};

TEST_P(FormMp3VbrMethod, EnablesTheControlsTheMethodUses)
{
    const auto [position, quality, abr, limits] = GetParam();
    FormMp3& dialog = open();
    QComboBox* method = combo(dialog, "cmbVBRCodingMethod");
    // Come from a method of the other kind, so that the flags have to change.
    method->setCurrentIndex(position == 0 ? 5 : 0);
    method->setCurrentIndex(position);

    EXPECT_EQ(combo(dialog, "txtVbrQuality")->isEnabled(), quality);
    EXPECT_EQ(combo(dialog, "txtAbrBitrate")->isEnabled(), abr);
    for (const char* name : {"frmVbrBitrate", "frmVbrAdvanced"})
        EXPECT_EQ(control<QGroupBox>(dialog, QString::fromLatin1(name))->isEnabled(), limits)
            << name;
    EXPECT_EQ(control<QLabel>(dialog, QStringLiteral("lblVbrBitrate"))->isEnabled(), limits);
    EXPECT_EQ(combo(dialog, "ComboVbrBitrate")->isEnabled(), limits);
    EXPECT_EQ(check(dialog, "chWriteVBRHeader")->isEnabled(), limits);
    EXPECT_EQ(check(dialog, "chStrictlyEnforceMinBitrate")->isEnabled(), limits);
    for (const char* name : {"Label4", "Label1", "Label2"})
        EXPECT_TRUE(control<QLabel>(dialog, QString::fromLatin1(name))->isEnabled()) << name;
    EXPECT_TRUE(combo(dialog, "ComboBitrate")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(FormMp3, FormMp3VbrMethod,
                         ::testing::Values(std::tuple(0, false, false, false), // No VBR
                                           std::tuple(1, true, false, true),   // Default
                                           std::tuple(2, true, false, true),   // Old
                                           std::tuple(3, true, false, true),   // New
                                           std::tuple(4, true, false, true),   // MTRH
                                           std::tuple(5, false, true, true))); // ABR

// The General bitrate is also the VBR minimum; the VBR page says what it comes to.
TEST_F(FormMp3Load, VbrPageShowsTheEffectiveMinimum)
{
    FormMp3& dialog = open();
    const QLabel* minimum = control<QLabel>(dialog, QStringLiteral("lblVbrMinimum"));
    EXPECT_FALSE(minimum->isEnabled()); // "No VBR"
    combo(dialog, "cmbVBRCodingMethod")->setCurrentText(QStringLiteral("New"));
    EXPECT_TRUE(minimum->isEnabled());
    EXPECT_EQ(minimum->text(), u"96 kbps, the bitrate on the General page");

    combo(dialog, "ComboBitrate")->setCurrentText(QStringLiteral("320"));
    combo(dialog, "ComboVbrBitrate")->setCurrentText(QStringLiteral("256"));
    EXPECT_EQ(minimum->text(),
              u"256 kbps (General page: 320 kbps)\nAt the maximum: constant bitrate");

    combo(dialog, "cmbVBRCodingMethod")->setCurrentText(QStringLiteral("ABR"));
    combo(dialog, "txtAbrBitrate")->setEditText(QStringLiteral("112"));
    EXPECT_EQ(minimum->text(), u"112 kbps (General page: 320 kbps)");
    check(dialog, "chStrictlyEnforceMinBitrate")->click();
    EXPECT_TRUE(minimum->text().startsWith(u"256 kbps")) << minimum->text().toStdString();
}

using FormMp3Presets = FormMp3Test;

TEST_F(FormMp3Presets, DefaultAfterAPresetChangesOnlyTheGeneralAndMethodControls)
{
    FormMp3& dialog = open();
    presetButton(dialog, Mp3Encoder::Phone)->click();
    const QString afterPhone = shown(dialog);
    auto* tabs = control<QTabWidget>(dialog, QStringLiteral("TabStrip1"));
    tabs->setCurrentIndex(2);
    presetButton(dialog, 0)->click();

    EXPECT_EQ(combo(dialog, "cmbFrequency")->currentText(), u"44 100 Hz");
    EXPECT_EQ(combo(dialog, "cmbChMode")->currentText(), u"Stereo");
    EXPECT_EQ(combo(dialog, "ComboBitrate")->currentText(), u"96");
    EXPECT_EQ(combo(dialog, "ComboQuality")->currentText(), u"5");
    EXPECT_EQ(combo(dialog, "cmbVBRCodingMethod")->currentText(), u"No VBR");
    EXPECT_FALSE(combo(dialog, "txtAbrBitrate")->isEnabled());
    EXPECT_EQ(tabs->currentIndex(), 0);
    // The VBR page keeps what the preset showed.
    const QStringList before = afterPhone.split(QStringLiteral(" | "));
    const QStringList after = shown(dialog).split(QStringLiteral(" | "));
    for (const int kept : {3, 4, 6, 8, 9})
        EXPECT_EQ(after[kept], before[kept]) << kept;
}

TEST_F(FormMp3Presets, PresetsAccumulateOnAFreshEncoderAndReachTheLiveOneOnlyByOk)
{
    // A live encoder unlike the defaults, so reading back from it instead would show.
    (void)m_live.setVbrQuality(8);
    (void)m_live.setMaxVbrBitrate(128);
    (void)m_live.setSampleRate(11025);
    m_live.setStrictMinimum(true);
    m_live.setWriteVbrHeader(false);
    const QString live = describe(m_live);
    FormMp3& dialog = open();
    presetButton(dialog, Mp3Encoder::Phone)->click();
    presetButton(dialog, Mp3Encoder::Studio)->click();
    EXPECT_EQ(describe(m_live), live);

    Mp3Encoder expected;
    ASSERT_TRUE(expected.applyPreset(Mp3Encoder::Phone));
    ASSERT_TRUE(expected.applyPreset(Mp3Encoder::Studio));
    EXPECT_EQ(describe(dialog.presetEncoder()), describe(expected));
    EncoderSettings shownSettings;
    shownSettings.Formats.mp3 = expected;
    FormMp3 reference(nullptr, shownSettings);
    EXPECT_EQ(shown(dialog), shown(reference));

    ok(dialog);
    EXPECT_EQ(describe(m_live), describe(expected));
}

using FormMp3Ok = FormMp3Test;

TEST_F(FormMp3Ok, UnlistedBitrateShowsAs8AndOkSets8)
{
    m_live = Mp3Encoder();
    ASSERT_TRUE(m_live.setSampleRate(22050)); // a rate that carries 8 Kbps
    ASSERT_TRUE(m_live.setBitrate(40));
    FormMp3& dialog = open();
    EXPECT_EQ(combo(dialog, "ComboBitrate")->currentText(), u"8");
    ok(dialog);
    EXPECT_EQ(m_live.bitrate(), 8);
}

// A bitrate the chosen rate cannot carry is refused as the OGG dialog refuses a format: the
// message gives the reason and the dialog stays open, handing nothing back.
TEST_F(FormMp3Ok, BitrateTheRateCannotCarryIsRefused)
{
    FormMp3& dialog = open();
    combo(dialog, "cmbFrequency")->setCurrentIndex(combo(dialog, "cmbFrequency")->findData(22050));
    combo(dialog, "ComboBitrate")->setCurrentIndex(BitrateListIndex(320));
    QString message;
    QTimer::singleShot(0, &dialog, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        message = box ? box->text() + u'|' + box->informativeText() : QString();
        if (box)
            box->accept();
    });
    dialog.show();
    dialog.CmdOK_Click();
    EXPECT_TRUE(message.startsWith(u"Incorrect format|MP3 bitrate 320 Kbps"))
        << message.toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.edited());
    combo(dialog, "ComboBitrate")->setCurrentIndex(BitrateListIndex(160));
    ok(dialog);
    EXPECT_EQ(m_live.sampleRate(), 22050);
    EXPECT_EQ(m_live.bitrate(), 160);
}

TEST_F(FormMp3Ok, LettersInTheVbrQualityKeepItAndTheRestIsWritten)
{
    const int vbrQuality = m_live.vbrQuality();
    FormMp3& dialog = open();
    combo(dialog, "txtVbrQuality")->setEditText(QStringLiteral("best"));
    combo(dialog, "ComboQuality")->setCurrentIndex(2);
    combo(dialog, "cmbVBRCodingMethod")->setCurrentIndex(Mp3Encoder::kVbrNew + 1);
    combo(dialog, "ComboVbrBitrate")->setCurrentIndex(BitrateListIndex(192));

    EXPECT_EQ(runModal(dialog, "CmdOK"), QDialog::Accepted);
    take(dialog);
    EXPECT_EQ(m_live.vbrQuality(), vbrQuality);
    EXPECT_EQ(m_live.quality(), 2);
    EXPECT_EQ(m_live.vbrMethod(), Mp3Encoder::kVbrNew);
    EXPECT_EQ(m_live.maxVbrBitrate(), 192);
}

TEST_F(FormMp3Ok, ReachesTheWriterAndTheFormatText)
{
    FormMp3& dialog = open();
    combo(dialog, "cmbFrequency")->setCurrentIndex(combo(dialog, "cmbFrequency")->findData(32000));
    combo(dialog, "cmbChMode")->setCurrentIndex(0);
    const QString before = m_settings.OutputFormatText();
    ok(dialog);

    EXPECT_EQ(m_live.sampleRate(), 32000);
    EXPECT_EQ(m_live.channels(), 1);
    EXPECT_EQ(describe(m_writer.mp3Encoder()), describe(m_live));
    EXPECT_NE(m_settings.OutputFormatText(), before);
    EXPECT_TRUE(m_settings.OutputFormatText().contains(u"32000 Hz"))
        << m_settings.OutputFormatText().toStdString();
}

TEST_F(FormMp3Ok, CancelOrCloseAfterAPresetChangesNothing)
{
    (void)m_live.setQuality(7);

    FormMp3& dialog = open();
    presetButton(dialog, Mp3Encoder::Studio)->click();
    EXPECT_EQ(runModal(dialog, "CmdCancel"), QDialog::Rejected);
    EXPECT_FALSE(dialog.edited());
    FormMp3& closed = open();
    presetButton(closed, Mp3Encoder::R3Mix)->click();
    closed.show();
    closed.close();
    EXPECT_EQ(closed.result(), QDialog::Rejected);
    EXPECT_FALSE(closed.edited());
}

// Typed text in one of the two free boxes, and the value OK leaves in the encoder; the
// encoder starts with VBR quality 1 and ABR bitrate 100.
class FormMp3TypedNumber
    : public FormMp3Test,
      public ::testing::WithParamInterface<std::tuple<std::string, std::string, int>> {};

TEST_P(FormMp3TypedNumber, IsReadByTheNumericTextRules)
{
    const auto [box, text, expected] = GetParam();
    ASSERT_TRUE(m_live.setVbrQuality(1));
    ASSERT_TRUE(m_live.setAbrBitrate(100));
    FormMp3& dialog = open();
    combo(dialog, box.c_str())->setEditText(QString::fromStdString(text));
    ok(dialog);
    const bool quality = box == "txtVbrQuality";
    EXPECT_EQ(quality ? m_live.vbrQuality() : m_live.abrBitrate(), expected);
    EXPECT_EQ(quality ? m_live.abrBitrate() : m_live.vbrQuality(), quality ? 100 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    FormMp3, FormMp3TypedNumber,
    ::testing::Values(std::tuple<std::string, std::string, int>("txtVbrQuality", " 7 ", 7),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "2.5", 2),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "3.5", 4),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "6.49", 6),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "x1", 1),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "", 1),
                      std::tuple<std::string, std::string, int>("txtVbrQuality", "12",
                                                                1), // refused by the encoder
                      std::tuple<std::string, std::string, int>("txtAbrBitrate", "  96.5", 96),
                      std::tuple<std::string, std::string, int>("txtAbrBitrate", "97.5 ", 98),
                      std::tuple<std::string, std::string, int>("txtAbrBitrate", "200 kbps", 100),
                      std::tuple<std::string, std::string, int>("txtAbrBitrate", "99999999999",
                                                                100)));

using FormMp3Conversion = FormMp3Test;

TEST_F(FormMp3Conversion, ChosenSettingsShapeTheWrittenFile)
{
    FormMp3& dialog = open();
    QComboBox* frequency = combo(dialog, "cmbFrequency");
    frequency->setCurrentIndex(frequency->findText(QStringLiteral("22 050 Hz")));
    combo(dialog, "cmbChMode")->setCurrentText(QStringLiteral("Mono"));
    combo(dialog, "cmbVBRCodingMethod")->setCurrentText(QStringLiteral("ABR"));
    combo(dialog, "txtAbrBitrate")->setEditText(QStringLiteral("64"));
    ok(dialog);

    TempDir dir;
    const QString path = dir.file(QStringLiteral("tone.mp3"));
    constexpr double kSeconds = 6.0;
    ASSERT_TRUE(m_writer.create(path));
    ASSERT_TRUE(m_writer.setInputFormat(44100, 2));
    const std::vector<qint16> tone = sine(1000, 44100, 2, kSeconds);
    ASSERT_TRUE(m_writer.write(tone));
    ASSERT_TRUE(m_writer.close());

    const Decoded decoded = decodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format.sampleRate, 22050);
    EXPECT_EQ(decoded.format.channels, 1);
    const double seconds = double(decoded.frames()) / decoded.format.sampleRate;
    EXPECT_NEAR(seconds, kSeconds, 0.1);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const double kbps = file.size() * 8.0 / seconds / 1000.0;
    EXPECT_NEAR(kbps, 64.0, 16.0);
    const QByteArray head = file.read(200);
    EXPECT_TRUE(head.contains("Xing") || head.contains("Info"));
}

} // namespace
