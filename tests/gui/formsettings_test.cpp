#include "app/formatcommands.h"
#include "common/audio/audiofile.h"
#include "common/codecs/wmaprofiles.h"
#include "settings/encodersettings.h"
#include "settings/formatdialog.h"
#include "settings/formflac.h"
#include "settings/formm4a.h"
#include "settings/formogg.h"
#include "settings/formopus.h"
#include "settings/formwav.h"
#include "settings/formwma.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <vorbis/vorbisenc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace tunevale;
using namespace tunevale::test;

namespace {

template <typename Widget> Widget* control(const QWidget& dialog, const char* name)
{
    auto* widget = dialog.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void pressOk(const QWidget& dialog)
{
    control<QPushButton>(dialog, "CmdOK")->click();
}

void pressCancel(const QWidget& dialog)
{
    control<QPushButton>(dialog, "CmdCancel")->click();
}

// What the conversion dialog does with a settings dialog's answer: keeps the edited copy,
// and a conversion configures its writer from it. False when there was no answer.
bool takeEdited(const FormatDialog& dialog, EncoderSettings& settings, AudioFile& writer)
{
    const std::optional<EncoderSettings> edited = dialog.edited();
    if (!edited)
        return false;
    settings = *edited;
    (void)settings.applyTo(writer);
    return true;
}

QString oggText(const EncoderSettings& settings)
{
    return outputFormat(OutputKind::Ogg).describe(settings.Formats);
}

// Answers every message box that opens while it lives, as a user pressing OK would,
// and remembers what each one said; a box nobody expected therefore cannot hang a test.
class MessageBoxes {
public:
    MessageBoxes()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(window);
                if (!box || !box->isVisible())
                    continue;
                m_seen.append({box->windowTitle(), box->text(), box->icon()});
                if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                    ok->click();
                else
                    box->reject();
            }
        });
        m_timer.start(10);
    }

    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    const QList<Seen>& seen() const { return m_seen; }

private:
    QTimer m_timer;
    QList<Seen> m_seen;
};

// What a writer configured directly with these values describes, to compare a dialog's
// effect on another writer with.
QString oggDescription(int rate, int channels, int bitrate, int minBitrate, int maxBitrate,
                       int quality)
{
    AudioFile writer;
    EXPECT_TRUE(writer.setOggFormat(rate, channels, bitrate, minBitrate, maxBitrate, quality));
    return writer.settingsDescription();
}

auto oggFields(const EncoderSettings& settings)
{
    const OggFormat& ogg = settings.Formats.ogg;
    return std::make_tuple(ogg.sampleRate, ogg.channels, ogg.bitrate, ogg.minBitrate,
                           ogg.maxBitrate, ogg.quality, ogg.managed, ogg.qualityMode);
}

void choose(const QWidget& dialog, const char* list, const QString& text)
{
    auto* box = control<QComboBox>(dialog, list);
    const int position = box->findText(text);
    ASSERT_GE(position, 0) << list << ": " << text.toStdString();
    box->setCurrentIndex(position);
}

void tick(const QWidget& dialog, const char* name, bool checked)
{
    auto* box = control<QCheckBox>(dialog, name);
    if (box->isChecked() != checked)
        box->click();
}

// Some seconds of tones over noise: enough material for encoders to differ in size.
std::vector<qint16> music(int rate, double seconds)
{
    std::vector<qint16> samples = sine(440, rate, 2, seconds, 0.3);
    const std::vector<qint16> high = sine(3520, rate, 2, seconds, 0.15);
    const std::vector<qint16> hiss = noise(rate, 2, seconds);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16(samples[i] + high[i] + hiss[i] / 5);
    return samples;
}

// Writes the same piece through the writer's current settings for the extension.
qint64 writeMusic(AudioFile& writer, const QString& path)
{
    constexpr int kRate = 44100;
    const std::vector<qint16> samples = music(kRate, 4.0);
    EXPECT_TRUE(writer.create(path));
    EXPECT_TRUE(writer.setInputFormat(kRate, 2));
    EXPECT_TRUE(writer.write(samples));
    EXPECT_TRUE(writer.close());
    const Decoded decoded = decodeFile(path);
    EXPECT_TRUE(decoded.ok) << path.toStdString();
    EXPECT_NEAR(double(decoded.frames()) / decoded.format.sampleRate, 4.0, 0.1);
    return QFileInfo(path).size();
}

// ---- FormOGG ----

struct Ticks {
    bool quality;
    bool vbr;
};

class FormOGGTicks : public ::testing::TestWithParam<Ticks> {};

TEST_P(FormOGGTicks, ModeControlsFollowTheTwoChecksWithoutChangingThem)
{
    const auto [quality, vbr] = GetParam();
    EncoderSettings settings;
    FormOGG dialog(nullptr, settings);
    tick(dialog, "chVbr", vbr);
    tick(dialog, "chQuality", quality);

    const auto expectState = [&](bool qualityOn) {
        for (const char* name : {"chVbr", "lblBitrate", "ComboBitrate"})
            EXPECT_EQ(control<QWidget>(dialog, name)->isEnabled(), !qualityOn) << name;
        for (const char* name :
             {"frmVbr", "lblMinBitrate", "ComboMinBitrate", "lblMaxBitrate", "ComboMaxBitrate"})
            EXPECT_EQ(control<QWidget>(dialog, name)->isEnabled(), vbr && !qualityOn) << name;
        for (const char* name : {"frmQuality", "ComboQuality"})
            EXPECT_EQ(control<QWidget>(dialog, name)->isEnabled(), qualityOn) << name;
        EXPECT_EQ(control<QCheckBox>(dialog, "chVbr")->isChecked(), vbr);
        EXPECT_EQ(control<QCheckBox>(dialog, "chQuality")->isChecked(), qualityOn);
    };
    expectState(quality);

    // Leaving quality mode brings the bitrate mode back as its own check box says.
    tick(dialog, "chQuality", false);
    expectState(false);
}

INSTANTIATE_TEST_SUITE_P(FormOGG, FormOGGTicks,
                         ::testing::Values(Ticks{false, false}, Ticks{false, true},
                                           Ticks{true, false}, Ticks{true, true}),
                         [](const auto& info) {
                             return std::string(info.param.quality ? "Quality" : "NoQuality") +
                                    (info.param.vbr ? "Vbr" : "NoVbr");
                         });

TEST(FormOGG, LowFrequenciesForceStereo)
{
    EncoderSettings settings;
    FormOGG dialog(nullptr, settings);
    auto* channels = control<QComboBox>(dialog, "cmbChMode");
    channels->setCurrentIndex(0);
    choose(dialog, "cmbFrequency", QStringLiteral("22,050 Hz"));
    EXPECT_FALSE(channels->isEnabled());
    EXPECT_EQ(channels->currentText(), u"Stereo");
    choose(dialog, "cmbFrequency", QStringLiteral("32,000 Hz"));
    EXPECT_TRUE(channels->isEnabled());
    EXPECT_EQ(channels->currentText(), u"Stereo");
}

TEST(FormOGG, DefaultsSetConstantBitrateOnOk)
{
    AudioFile writer;
    EncoderSettings settings;
    const auto before = oggFields(settings);
    MessageBoxes boxes;
    FormOGG dialog(nullptr, settings);
    EXPECT_EQ(dialog.windowTitle(), u" OGG Option");
    EXPECT_EQ(control<QComboBox>(dialog, "ComboQuality")->currentText(), u"3");
    pressOk(dialog);
    ASSERT_TRUE(takeEdited(dialog, settings, writer));
    EXPECT_TRUE(boxes.seen().isEmpty());
    EXPECT_EQ(oggText(settings), oggDescription(44100, 2, 128, 0, 0, -1));
    EXPECT_EQ(oggFields(settings), before);
}

// libvorbisenc's own answer for a constant bitrate, asked without our encoder in between.
bool vorbisAccepts(int rate, int channels, int kbps)
{
    vorbis_info info;
    vorbis_info_init(&info);
    const bool accepted =
        vorbis_encode_setup_managed(&info, channels, rate, -1, long(kbps) * 1000, -1) == 0 &&
        vorbis_encode_setup_init(&info) == 0;
    vorbis_info_clear(&info);
    return accepted;
}

struct OggChoice {
    const char* frequency;
    int rate;
    const char* channels;
    int kbps;
};

void PrintTo(const OggChoice& choice, std::ostream* out)
{
    *out << choice.channels << ' ' << choice.frequency << ' ' << choice.kbps << " kbit/s";
}

class FormOGGConstantBitrate : public ::testing::TestWithParam<OggChoice> {};

// A constant bitrate is judged at the frequency and channels chosen: what the writer then
// writes is what the summary promises, or the dialog says "Incorrect format" and stays open.
TEST_P(FormOGGConstantBitrate, IsJudgedAtTheChosenRateAndChannels)
{
    const OggChoice choice = GetParam();
    const int channels = QLatin1String(choice.channels) == QLatin1String("Mono") ? 1 : 2;
    AudioFile writer;
    EncoderSettings settings;
    const auto settingsBefore = oggFields(settings);

    MessageBoxes boxes;
    FormOGG dialog(nullptr, settings);
    dialog.show();
    choose(dialog, "cmbFrequency", QString::fromLatin1(choice.frequency));
    choose(dialog, "cmbChMode", QString::fromLatin1(choice.channels));
    choose(dialog, "ComboBitrate", QString::number(choice.kbps));
    pressOk(dialog);

    if (vorbisAccepts(choice.rate, channels, choice.kbps)) {
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(boxes.seen().isEmpty());
        ASSERT_TRUE(takeEdited(dialog, settings, writer));
        EXPECT_EQ(oggText(settings), oggDescription(choice.rate, channels, choice.kbps, 0, 0, -1));
        EXPECT_EQ(settings.Formats.ogg.sampleRate, choice.rate);
        EXPECT_EQ(settings.Formats.ogg.bitrate, choice.kbps);
    } else {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        ASSERT_EQ(boxes.seen().size(), 1);
        EXPECT_EQ(boxes.seen()[0].text, u"Incorrect format");
        EXPECT_FALSE(dialog.edited());
        EXPECT_EQ(oggFields(settings), settingsBefore);
    }
}

// The pairs that passed a check made at 44,100 Hz but were written at 44,100 Hz, 128 kbit/s
// instead, and a few that such a check refused although the chosen rate takes them.
INSTANTIATE_TEST_SUITE_P(
    FormOGG, FormOGGConstantBitrate,
    ::testing::Values(
        OggChoice{"22,050 Hz", 22050, "Stereo", 192}, OggChoice{"24,000 Hz", 24000, "Stereo", 192},
        OggChoice{"16,000 Hz", 16000, "Stereo", 224}, OggChoice{"16,000 Hz", 16000, "Stereo", 256},
        OggChoice{"16,000 Hz", 16000, "Stereo", 320}, OggChoice{"22,050 Hz", 22050, "Stereo", 224},
        OggChoice{"22,050 Hz", 22050, "Stereo", 256}, OggChoice{"22,050 Hz", 22050, "Stereo", 320},
        OggChoice{"24,000 Hz", 24000, "Stereo", 224}, OggChoice{"24,000 Hz", 24000, "Stereo", 256},
        OggChoice{"24,000 Hz", 24000, "Stereo", 320}, OggChoice{"32,000 Hz", 32000, "Mono", 192},
        OggChoice{"32,000 Hz", 32000, "Mono", 224}, OggChoice{"16,000 Hz", 16000, "Stereo", 24},
        OggChoice{"22,050 Hz", 22050, "Stereo", 32}, OggChoice{"24,000 Hz", 24000, "Stereo", 160},
        OggChoice{"48,000 Hz", 48000, "Mono", 224}),
    [](const auto& info) {
        return std::string(info.param.channels) + std::to_string(info.param.rate) + "Hz" +
               std::to_string(info.param.kbps);
    });

TEST(FormOGG, RejectedVbrFormatKeepsDialogOpenAndChangesNothing)
{
    AudioFile writer;
    ASSERT_FALSE(writer.checkOggFormat(44100, 1, 320, 320, 320));
    ASSERT_TRUE(writer.checkOggFormat(44100, 2, 128, 64, 192));
    EncoderSettings settings;
    const auto settingsBefore = oggFields(settings);

    MessageBoxes boxes;
    FormOGG dialog(nullptr, settings);
    dialog.show();
    choose(dialog, "cmbChMode", QStringLiteral("Mono"));
    tick(dialog, "chVbr", true);
    for (const char* list : {"ComboBitrate", "ComboMinBitrate", "ComboMaxBitrate"})
        choose(dialog, list, QStringLiteral("320"));

    for (int press = 1; press <= 2; ++press) {
        pressOk(dialog);
        ASSERT_EQ(boxes.seen().size(), press);
        EXPECT_EQ(boxes.seen().back().title, u"Tunevale");
        EXPECT_EQ(boxes.seen().back().text, u"Incorrect format");
        EXPECT_EQ(boxes.seen().back().icon, QMessageBox::Critical);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(dialog.edited());
    }
    // The choices survive the refusal; a possible one is then taken.
    EXPECT_EQ(control<QComboBox>(dialog, "ComboMaxBitrate")->currentText(), u"320");
    choose(dialog, "cmbChMode", QStringLiteral("Stereo"));
    choose(dialog, "ComboBitrate", QStringLiteral("128"));
    choose(dialog, "ComboMinBitrate", QStringLiteral("64"));
    choose(dialog, "ComboMaxBitrate", QStringLiteral("192"));
    pressOk(dialog);
    ASSERT_TRUE(takeEdited(dialog, settings, writer));
    EXPECT_EQ(boxes.seen().size(), 2);
    EXPECT_NE(oggFields(settings), settingsBefore);
    EXPECT_EQ(oggText(settings), oggDescription(44100, 2, 128, 64, 192, -1));
    EXPECT_EQ(oggFields(settings), std::make_tuple(44100, 2, 128, 64, 192, 300, true, false));
}

// A managed range must hold together: minimum up to maximum, the nominal bitrate between.
TEST(FormOGG, VbrRangeThatCannotHoldIsRefused)
{
    AudioFile writer;
    EncoderSettings settings;
    MessageBoxes boxes;
    FormOGG dialog(nullptr, settings);
    dialog.show();
    tick(dialog, "chVbr", true);
    const auto chooseRange = [&](const char* nominal, const char* minimum, const char* maximum) {
        choose(dialog, "ComboBitrate", QString::fromLatin1(nominal));
        choose(dialog, "ComboMinBitrate", QString::fromLatin1(minimum));
        choose(dialog, "ComboMaxBitrate", QString::fromLatin1(maximum));
        pressOk(dialog);
    };
    chooseRange("128", "320", "8");
    chooseRange("128", "32", "96");
    chooseRange("64", "96", "192");
    ASSERT_EQ(boxes.seen().size(), 3);
    for (const MessageBoxes::Seen& seen : boxes.seen())
        EXPECT_EQ(seen.text, u"Incorrect format");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.edited());

    chooseRange("128", "96", "192");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(takeEdited(dialog, settings, writer));
    EXPECT_EQ(oggText(settings), oggDescription(44100, 2, 128, 96, 192, -1));
}

TEST(FormOGG, QualityTenIsStoredAsThousandAndShownAgain)
{
    AudioFile writer;
    EncoderSettings settings;
    {
        FormOGG dialog(nullptr, settings);
        tick(dialog, "chQuality", true);
        choose(dialog, "ComboQuality", QStringLiteral("10"));
        pressOk(dialog);
        ASSERT_TRUE(takeEdited(dialog, settings, writer));
    }
    EXPECT_EQ(settings.Formats.ogg.quality, 1000);
    EXPECT_TRUE(settings.Formats.ogg.qualityMode);
    EXPECT_EQ(oggText(settings), oggDescription(44100, 2, 128, 0, 0, 1000));
    FormOGG reopened(nullptr, settings);
    EXPECT_EQ(control<QComboBox>(reopened, "ComboQuality")->currentText(), u"10");
}

TEST(FormOGG, QualityModeWithVbrTickedKeepsBothTicks)
{
    AudioFile writer;
    EncoderSettings settings;
    {
        FormOGG dialog(nullptr, settings);
        tick(dialog, "chVbr", true);
        choose(dialog, "ComboMinBitrate", QStringLiteral("96"));
        tick(dialog, "chQuality", true);
        choose(dialog, "ComboQuality", QStringLiteral("5"));
        pressOk(dialog);
        ASSERT_TRUE(takeEdited(dialog, settings, writer));
    }
    EXPECT_EQ(oggText(settings), oggDescription(44100, 2, 128, 0, 0, 500));
    EXPECT_TRUE(settings.Formats.ogg.managed);
    EXPECT_TRUE(settings.Formats.ogg.qualityMode);
    EXPECT_EQ(settings.Formats.ogg.minBitrate, 96);

    FormOGG reopened(nullptr, settings);
    EXPECT_TRUE(control<QCheckBox>(reopened, "chVbr")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(reopened, "chQuality")->isChecked());
    for (const char* name : {"chVbr", "frmVbr", "ComboMinBitrate", "ComboBitrate"})
        EXPECT_FALSE(control<QWidget>(reopened, name)->isEnabled()) << name;
    EXPECT_TRUE(control<QWidget>(reopened, "ComboQuality")->isEnabled());
    EXPECT_EQ(control<QComboBox>(reopened, "ComboMinBitrate")->currentText(), u"96");
    EXPECT_EQ(control<QComboBox>(reopened, "ComboQuality")->currentText(), u"5");
}

TEST(FormOGG, StoredValuesOutsideTheListsLoadAsDescribed)
{
    EncoderSettings settings;
    settings.Formats.ogg.sampleRate = 44000;
    settings.Formats.ogg.channels = 1;
    settings.Formats.ogg.minBitrate = 40;
    settings.Formats.ogg.quality = 250; // halfway: the even level wins
    FormOGG dialog(nullptr, settings);
    EXPECT_EQ(control<QComboBox>(dialog, "cmbFrequency")->currentIndex(), -1);
    EXPECT_FALSE(control<QComboBox>(dialog, "cmbChMode")->isEnabled());
    EXPECT_EQ(control<QComboBox>(dialog, "ComboMinBitrate")->currentText(), u"8");
    EXPECT_EQ(control<QComboBox>(dialog, "ComboQuality")->currentText(), u"2");
    pressCancel(dialog);
    EXPECT_FALSE(dialog.edited());
}

TEST(FormOGG, CancelAnswersNothing)
{
    EncoderSettings settings;
    FormOGG dialog(nullptr, settings);
    choose(dialog, "cmbFrequency", QStringLiteral("48,000 Hz"));
    tick(dialog, "chQuality", true);
    pressCancel(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.edited());
}

TEST(FormOGG, HigherQualityLevelGivesBiggerFile)
{
    TempDir dir;
    AudioFile writer;
    EncoderSettings settings;
    const auto encodeAt = [&](const QString& level) {
        FormOGG dialog(nullptr, settings);
        tick(dialog, "chQuality", true);
        choose(dialog, "ComboQuality", level);
        pressOk(dialog);
        EXPECT_TRUE(takeEdited(dialog, settings, writer));
        return writeMusic(writer, dir.file(QStringLiteral("q%1.ogg").arg(level)));
    };
    const qint64 low = encodeAt(QStringLiteral("2"));
    const qint64 high = encodeAt(QStringLiteral("6"));
    EXPECT_GT(high, low);
}

// ---- FormWMA ----

TEST(FormWMA, ListsTheWritersProfilesInOrder)
{
    AudioFile writer;
    EncoderSettings settings;
    FormWMA dialog(nullptr, settings);
    EXPECT_EQ(dialog.windowTitle(), u" WMA Option");
    auto* list = control<QComboBox>(dialog, "Combo1");
    ASSERT_EQ(list->count(), kWmaProfileCount);
    AudioFile reference; // the writer describes each profile as the list does
    for (int profile = 1; profile <= kWmaProfileCount; ++profile) {
        ASSERT_TRUE(reference.selectWmaProfile(profile));
        EXPECT_EQ(list->itemText(profile - 1), reference.settingsDescription()) << profile;
    }
}

TEST(FormWMA, OpensOnTheStoredProfileWithItsShortcut)
{
    EncoderSettings settings;
    FormWMA dialog(nullptr, settings);
    auto* list = control<QComboBox>(dialog, "Combo1");
    EXPECT_EQ(list->currentIndex(), kDefaultWmaProfile - 1);
    EXPECT_EQ(list->currentText(), describeWmaProfile(kDefaultWmaProfile));
    auto* good = control<QRadioButton>(dialog, "Option2");
    EXPECT_EQ(good->text(), u"Good quality. Small size.");
    EXPECT_TRUE(good->isChecked());
    EXPECT_FALSE(control<QRadioButton>(dialog, "Option1")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(dialog, "Option3")->isChecked());

    settings.Formats.wmaProfile = 10;
    FormWMA normal(nullptr, settings);
    EXPECT_TRUE(control<QRadioButton>(normal, "Option1")->isChecked());
    EXPECT_EQ(control<QComboBox>(normal, "Combo1")->currentIndex(), 9);
}

TEST(FormWMA, ShortcutsAndListMoveTogether)
{
    EncoderSettings settings;
    FormWMA dialog(nullptr, settings);
    auto* list = control<QComboBox>(dialog, "Combo1");
    const char* options[] = {"Option1", "Option2", "Option3"};
    const int positions[] = {9, 13, 34};
    for (int i = 0; i < 3; ++i) {
        control<QRadioButton>(dialog, options[i])->click();
        EXPECT_EQ(list->currentIndex(), positions[i]);
    }
    for (int i = 0; i < 3; ++i) {
        list->setCurrentIndex(20);
        list->setCurrentIndex(positions[i]);
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(control<QRadioButton>(dialog, options[j])->isChecked(), i == j);
    }
    list->setCurrentIndex(20);
    for (const char* option : options)
        EXPECT_FALSE(control<QRadioButton>(dialog, option)->isChecked()) << option;
}

TEST(FormWMA, OkStoresAndSelectsTheChosenProfile)
{
    AudioFile writer;
    EncoderSettings settings;
    FormWMA dialog(nullptr, settings);
    control<QRadioButton>(dialog, "Option3")->click();
    EXPECT_EQ(control<QComboBox>(dialog, "Combo1")->currentIndex(), 34);
    pressOk(dialog);
    ASSERT_TRUE(takeEdited(dialog, settings, writer));
    EXPECT_EQ(settings.Formats.wmaProfile, 35);
    settings.TargetFormat = OutputKind::Wma;
    EXPECT_EQ(settings.summary(), describeWmaProfile(35));
}

TEST(FormWMA, CancelKeepsTheProfile)
{
    EncoderSettings settings;
    FormWMA dialog(nullptr, settings);
    control<QComboBox>(dialog, "Combo1")->setCurrentIndex(3);
    control<QRadioButton>(dialog, "Option1")->click();
    pressCancel(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.edited());
}

TEST(FormWMA, LowerProfileGivesSmallerFile)
{
    TempDir dir;
    AudioFile writer;
    EncoderSettings settings;
    const auto encodeWith = [&](const char* option) {
        FormWMA dialog(nullptr, settings);
        control<QRadioButton>(dialog, option)->click();
        pressOk(dialog);
        EXPECT_TRUE(takeEdited(dialog, settings, writer));
        return writeMusic(writer,
                          dir.file(QStringLiteral("p%1.wma").arg(settings.Formats.wmaProfile)));
    };
    const qint64 normal = encodeWith("Option1");
    EXPECT_EQ(settings.Formats.wmaProfile, 10);
    const qint64 poor = encodeWith("Option3");
    EXPECT_EQ(settings.Formats.wmaProfile, 35);
    EXPECT_LT(poor, normal);
}

// ---- FormWAV ----

struct WavHeader {
    bool found = false;
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int byteRate = 0;
    int blockAlign = 0;
    int bits = 0;
    qint64 dataBytes = -1;
};

// Walks the RIFF chunks of a file written by the writer.
WavHeader readWavHeader(const QString& path)
{
    QFile file(path);
    WavHeader header;
    if (!file.open(QIODevice::ReadOnly))
        return header;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE" ||
        qFromLittleEndian<quint32>(bytes.constData() + 4) != quint32(bytes.size() - 8))
        return header;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qint64 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        const char* body = bytes.constData() + at + 8;
        if (id == "fmt " && size >= 16) {
            header.format = qFromLittleEndian<quint16>(body);
            header.channels = qFromLittleEndian<quint16>(body + 2);
            header.sampleRate = int(qFromLittleEndian<quint32>(body + 4));
            header.byteRate = int(qFromLittleEndian<quint32>(body + 8));
            header.blockAlign = qFromLittleEndian<quint16>(body + 12);
            header.bits = qFromLittleEndian<quint16>(body + 14);
            header.found = true;
        } else if (id == "data") {
            header.dataBytes = size;
            if (at + 8 + size > bytes.size())
                header.found = false;
        }
        at += 8 + size + (size & 1);
    }
    return header;
}

TEST(FormWAV, OpensWithTheStoredChoices)
{
    EncoderSettings settings;
    FormWAV dialog(nullptr, settings);
    EXPECT_EQ(dialog.windowTitle(), u" WAV Option");
    EXPECT_TRUE(control<QRadioButton>(dialog, "F7")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(dialog, "P2")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(dialog, "B2")->isChecked());
    EXPECT_EQ(control<QRadioButton>(dialog, "F2")->text(), u"11025 ");

    // A rate outside the list keeps the first choice.
    settings.Formats.wav.sampleRate = 96000;
    FormWAV odd(nullptr, settings);
    EXPECT_TRUE(control<QRadioButton>(odd, "F7")->isChecked());
}

TEST(FormWAV, OkStoresTheChoicesAndTheWriterWritesThem)
{
    TempDir dir;
    AudioFile writer;
    EncoderSettings settings;
    {
        FormWAV dialog(nullptr, settings);
        control<QRadioButton>(dialog, "F2")->click();
        control<QRadioButton>(dialog, "P1")->click();
        control<QRadioButton>(dialog, "B1")->click();
        pressOk(dialog);
        ASSERT_TRUE(takeEdited(dialog, settings, writer));
    }
    EXPECT_EQ(settings.Formats.wav.sampleRate, 11025);
    EXPECT_EQ(settings.Formats.wav.channels, 1);
    EXPECT_EQ(settings.Formats.wav.bitsPerSample, 8);

    const QString path = dir.file(QStringLiteral("out.wav"));
    const std::vector<qint16> tone = sine(440, 22050, 2, 1.0);
    ASSERT_TRUE(writer.create(path));
    ASSERT_TRUE(writer.setInputFormat(22050, 2));
    ASSERT_TRUE(writer.write(tone));
    ASSERT_TRUE(writer.close());
    const WavHeader header = readWavHeader(path);
    ASSERT_TRUE(header.found);
    EXPECT_EQ(header.format, 1);
    EXPECT_EQ(header.channels, 1);
    EXPECT_EQ(header.sampleRate, 11025);
    EXPECT_EQ(header.bits, 8);
    EXPECT_EQ(header.blockAlign, 1);
    EXPECT_EQ(header.byteRate, 11025);
    EXPECT_NEAR(double(header.dataBytes), 11025.0, 64.0);

    FormWAV reopened(nullptr, settings);
    EXPECT_TRUE(control<QRadioButton>(reopened, "F2")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(reopened, "P1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(reopened, "B1")->isChecked());
}

TEST(FormWAV, CancelAnswersNothing)
{
    EncoderSettings settings;
    settings.Formats.wav.sampleRate = 22050;
    FormWAV dialog(nullptr, settings);
    EXPECT_TRUE(control<QRadioButton>(dialog, "F4")->isChecked());
    control<QRadioButton>(dialog, "F1")->click();
    control<QRadioButton>(dialog, "P1")->click();
    control<QRadioButton>(dialog, "B1")->click();
    pressCancel(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.edited());
}

// ---- FormFLAC, FormOpus, FormM4A ----

// What OK on an untouched dialog over settings answers: the dialog shows the typed values and
// reads them back.
template <typename Dialog> OutputSettings throughDialog(const OutputSettings& formats)
{
    EncoderSettings settings;
    settings.Formats = formats;
    Dialog dialog(nullptr, settings);
    pressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    return dialog.edited().value_or(EncoderSettings()).Formats;
}

// Typing text into an editable list and pressing OK: the dialog stays open, answers nothing and
// says what the format's own check says.
template <typename Dialog>
void expectRefused(const char* list, const QString& typed, const Status& check)
{
    ASSERT_FALSE(check);
    Dialog dialog(nullptr, EncoderSettings());
    control<QComboBox>(dialog, list)->setEditText(typed);
    const MessageBoxes boxes;
    pressOk(dialog);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.edited());
    ASSERT_EQ(boxes.seen().size(), 1);
    EXPECT_EQ(boxes.seen()[0].text, check.message());
    EXPECT_EQ(boxes.seen()[0].icon, QMessageBox::Critical);
}

TEST(NewFormatDialogs, FlacSettingsComeBackAsTheyWent)
{
    for (const FlacSettings& flac :
         {FlacSettings{8, 96000, 1, 24, true}, FlacSettings{0, 0, 0, 0, false},
          FlacSettings{3, 12345, 6, 16, false}, FlacSettings{}}) {
        OutputSettings formats;
        formats.flac = flac;
        formats.opus.bitrate = 64; // another format's settings stay as they are
        EXPECT_TRUE(throughDialog<FormFLAC>(formats) == formats) << flac.describe().toStdString();
    }
}

TEST(NewFormatDialogs, OpusSettingsComeBackAsTheyWent)
{
    for (const OpusSettings& opus :
         {OpusSettings{510, OpusRateControl::Cbr, 0, OpusTuning::Speech, 1},
          OpusSettings{77, OpusRateControl::ConstrainedVbr, 5, OpusTuning::Music, 2},
          OpusSettings{}}) {
        OutputSettings formats;
        formats.opus = opus;
        formats.flac.compressionLevel = 1;
        EXPECT_TRUE(throughDialog<FormOpus>(formats) == formats) << opus.describe().toStdString();
    }
}

TEST(NewFormatDialogs, M4aSettingsComeBackAsTheyWent)
{
    for (const M4aSettings& m4a :
         {M4aSettings{320, 96000, 1}, M4aSettings{100, 0, 2}, M4aSettings{}}) {
        OutputSettings formats;
        formats.m4a = m4a;
        formats.wav.channels = 1;
        EXPECT_TRUE(throughDialog<FormM4A>(formats) == formats) << m4a.describe().toStdString();
    }
}

// A number typed and confirmed with Enter is the one taken.
TEST(NewFormatDialogs, ATypedNumberConfirmedWithEnterIsTaken)
{
    FormOpus dialog(nullptr, EncoderSettings());
    auto* bitrate = control<QComboBox>(dialog, "ComboBitrate");
    bitrate->setEditText(QStringLiteral("77"));
    const MessageBoxes boxes;
    QTest::keyClick(bitrate->lineEdit(), Qt::Key_Return);
    pressOk(dialog);
    EXPECT_TRUE(boxes.seen().isEmpty());
    ASSERT_TRUE(dialog.edited());
    EXPECT_EQ(dialog.edited()->Formats.opus.bitrate, 77);
}

TEST(NewFormatDialogs, BadValuesAreRefusedWithTheFormatsMessage)
{
    expectRefused<FormFLAC>("cmbFrequency", QStringLiteral("700000"),
                            FlacSettings{5, 700000, 0, 0, false}.validate());
    expectRefused<FormOpus>(
        "ComboBitrate", QStringLiteral("600"),
        OpusSettings{600, OpusRateControl::Vbr, 10, OpusTuning::Auto, 0}.validate());
    // Text that is no number is refused as no bitrate is.
    expectRefused<FormOpus>(
        "ComboBitrate", QStringLiteral("fast"),
        OpusSettings{-1, OpusRateControl::Vbr, 10, OpusTuning::Auto, 0}.validate());
    expectRefused<FormM4A>("ComboBitrate", QStringLiteral("8"), M4aSettings{8, 0, 0}.validate());
}

// ---- every format dialog ----

// Presses a button of the settings dialog once editFormatSettings has shown it, and remembers
// which dialog that was; a dialog that never comes up is closed by the guard.
class PressWhenShown {
public:
    explicit PressWhenShown(const char* button)
    {
        QTimer::singleShot(0, [this, button] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                m_shown = dialog->objectName();
                control<QPushButton>(*dialog, button)->click();
            }
        });
        QObject::connect(&m_guard, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        m_guard.start(5000);
    }
    const QString& shown() const { return m_shown; }

private:
    QString m_shown;
    QTimer m_guard;
};

class EveryFormatDialog : public ::testing::TestWithParam<std::pair<OutputKind, const char*>> {};

TEST_P(EveryFormatDialog, OkAnswersTheCopyAndCancelNothing)
{
    const auto [target, dialogName] = GetParam();
    EncoderSettings settings;
    settings.TargetFormat = target;
    settings.OutputFolder = QStringLiteral("/music/");
    settings.UseOutputFolder = true;
    settings.CopyTags = false;
    const EncoderSettings before = settings;
    {
        const PressWhenShown press("CmdCancel");
        EXPECT_FALSE(editFormatSettings(nullptr, settings));
        EXPECT_EQ(press.shown(), QString::fromLatin1(dialogName));
    }
    const PressWhenShown press("CmdOK");
    const std::optional<EncoderSettings> edited = editFormatSettings(nullptr, settings);
    ASSERT_TRUE(edited);
    EXPECT_TRUE(*edited == before); // nothing was changed, so OK hands back the same value
    EXPECT_TRUE(settings == before);
}

INSTANTIATE_TEST_SUITE_P(FormatDialogs, EveryFormatDialog,
                         ::testing::Values(std::pair{OutputKind::Mp3, "FormMp3"},
                                           std::pair{OutputKind::Ogg, "FormOGG"},
                                           std::pair{OutputKind::Wav, "FormWAV"},
                                           std::pair{OutputKind::Wma, "FormWMA"},
                                           std::pair{OutputKind::Flac, "FormFLAC"},
                                           std::pair{OutputKind::Opus, "FormOpus"},
                                           std::pair{OutputKind::M4a, "FormM4A"}),
                         [](const auto& info) { return std::string(info.param.second); });

} // namespace
