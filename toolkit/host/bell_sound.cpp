// Playing the bell sound with Qt Multimedia.
#include "bell_sound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include "aiff_sound.h"
#include "files.h"
#include "resources.h"
#include "threads.h"

// The bell is looked up on first use and kept from then on.
struct BellPlayer {
    bool Loaded = false;
    bool Usable = false;
    QByteArray Pcm;
    QBuffer *Buffer = nullptr;
    QAudioSink *Sink = nullptr;
};
static BellPlayer player;

static void loadBell() {
    player.Loaded = true;
    std::string path = t_ResourceFolder() + "sysbeep.aif";
    if (t_FileExists(path) != 1) return;
    std::optional<t_PcmSound> pcm = t_DecodeAiff(getbinaryfromfile(path).Elements);
    if (!pcm) return;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;
    QAudioFormat format;
    format.setSampleRate(pcm->SampleRate);
    format.setChannelCount(pcm->Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return;
    player.Pcm = QByteArray(reinterpret_cast<const char *>(pcm->Samples.data()),
                            qsizetype(pcm->Samples.size() * sizeof(int16_t)));
    player.Buffer = new QBuffer(&player.Pcm, qApp);
    player.Buffer->open(QIODevice::ReadOnly);
    player.Sink = new QAudioSink(device, format, qApp);
    QObject::connect(player.Sink, &QAudioSink::stateChanged, player.Sink, [](QAudio::State state) {
        if (state == QAudio::IdleState) player.Sink->stop();
    });
    player.Usable = true;
}

void t_RingBell() {
    t_OnMainThreadAsync([] {
        if (!player.Loaded) loadBell();
        if (!player.Usable) {
            QApplication::beep();
            return;
        }
        if (player.Sink->state() == QAudio::ActiveState) return;
        player.Sink->stop();
        player.Buffer->seek(0);
        player.Sink->start(player.Buffer);
        if (player.Sink->error() != QAudio::NoError) QApplication::beep();
    });
}
