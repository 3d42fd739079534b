#include "app/mpris.h"

#include <QAbstractButton>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/form5.h"
#include "app/shell.h"
#include "base/text.h"

namespace app {
namespace {

QString Service() {
  return ToQString(kMprisService);
}

QString Path() {
  return ToQString(kMprisPath);
}

class RootAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ Empty)
  Q_PROPERTY(QStringList SupportedMimeTypes READ Empty)

 public:
  explicit RootAdaptor(Mpris* parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return ToQString(kMessageTitle); }
  QString DesktopEntry() const { return "lyrabinder"; }
  QStringList Empty() const { return {}; }

 public slots:
  void Raise() {
    m_mpris->Player().raise();
    m_mpris->Player().activateWindow();
  }
  // Quit closes the player, as "Close Window" does.
  void Quit() { m_mpris->Player().close(); }

 private:
  Mpris* m_mpris;
};

class PlayerAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ Yes)
  Q_PROPERTY(bool CanGoPrevious READ Yes)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ Yes)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit PlayerAdaptor(Mpris* parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}
  QString PlaybackStatus() const { return m_mpris->PlaybackStatus(); }
  QString LoopStatus() const { return Rules().Loop() ? "Playlist" : "None"; }
  // The Loop box knows only on and off: a loop of one track plays the album.
  void SetLoopStatus(const QString& status) { Box("loop")->setChecked(status != "None"); }
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  bool Shuffle() const { return Rules().Random(); }
  void SetShuffle(bool on) {
    QAbstractButton* box = Box("random");
    if (box->isChecked() != on) box->click();
  }
  QVariantMap Metadata() const { return m_mpris->Metadata(); }
  double Volume() const { return m_mpris->Player().Volume() / 100.0; }
  void SetVolume(double volume) {
    m_mpris->Player().SetVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
  }
  qlonglong Position() const { return m_mpris->PositionUs(); }
  bool Yes() const { return true; }

 public slots:
  void Play() {
    if (Rules().State() != player::PlayState::Playing) Rules().Play();
  }
  void Pause() { Rules().Pause(); }
  void PlayPause() {
    if (Rules().State() == player::PlayState::Playing) {
      Rules().Pause();
    } else {
      Rules().Play();
    }
  }
  void Stop() { Rules().Stop(); }
  void Next() {
    const int count = static_cast<int>(Rules().Tracks().size());
    const int next = Heard() + 1;
    m_mpris->Player().PlayEntry(next < count ? next : 0);
  }
  void Previous() { m_mpris->Player().PlayEntry(std::max(Heard() - 1, 0)); }
  void Seek(qlonglong offsetUs) {
    if (Rules().State() != player::PlayState::Playing) return;
    Rules().SeekBy(offsetUs / 1000);
    emit Seeked(m_mpris->PositionUs());
  }
  // A position outside the playing track is ignored, as the MPRIS interface asks.
  void SetPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    if (Rules().State() != player::PlayState::Playing ||
        track.path() != Mpris::TrackId(Rules().PlayingTrack()) || positionUs < 0 ||
        positionUs / 1000 > Rules().TrackEnd() - Rules().TrackStart()) {
      return;
    }
    Rules().SeekTo(positionUs / 1000);
    emit Seeked(m_mpris->PositionUs());
  }
  void OpenUri(const QString&) {}

 signals:
  void Seeked(qlonglong positionUs);

 private:
  player::Player& Rules() const { return m_mpris->Player().Rules(); }
  // Next and Previous count from the track heard, else from the selected line.
  int Heard() const {
    return Rules().PlayingTrack() >= 0 ? Rules().PlayingTrack() : Rules().Selected();
  }
  QAbstractButton* Box(const char* name) const {
    return m_mpris->Player().findChild<QAbstractButton*>(name);
  }
  Mpris* m_mpris;
};

}  // namespace

Mpris::Mpris(Form5& player) : QObject(&player), m_player(player) {
  new RootAdaptor(this);
  new PlayerAdaptor(this);
  QDBusConnection bus = QDBusConnection::sessionBus();
  // No session bus, or another player of ours on it: the window works without.
  if (!bus.isConnected() || !bus.registerObject(Path(), this)) return;
  if (!bus.registerService(Service())) {
    bus.unregisterObject(Path());
    return;
  }
  m_published = true;
  m_lastStatus = PlaybackStatus();
  m_lastMetadata = Metadata();
  m_lastVolume = player.Volume() / 100.0;
  connect(&player, &Form5::playerChanged, this, &Mpris::Announce);
}

Mpris::~Mpris() {
  if (!m_published) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(Service());
  bus.unregisterObject(Path());
}

QString Mpris::TrackId(int index) {
  return QStringLiteral("/org/lyrabinder/track/%1").arg(index + 1);
}

QString Mpris::PlaybackStatus() const {
  switch (m_player.Rules().State()) {
    case player::PlayState::Playing:
      return "Playing";
    case player::PlayState::Paused:
      return "Paused";
    case player::PlayState::Stopped:
      break;
  }
  return "Stopped";
}

QVariantMap Mpris::Metadata() const {
  const player::Player& rules = m_player.Rules();
  // What is heard, not the line last clicked.
  const int index =
      rules.State() == player::PlayState::Stopped ? rules.Selected() : rules.PlayingTrack();
  if (index < 0 || index >= static_cast<int>(rules.Tracks().size())) return {};
  const player::PlayerTrack& track = rules.Tracks()[static_cast<std::size_t>(index)];
  QVariantMap metadata;
  metadata["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath(TrackId(index)));
  metadata["mpris:length"] = qlonglong{track.playLength} * 1000;
  metadata["xesam:title"] = QString::fromStdString(base::Trim(track.title));
  metadata["xesam:artist"] =
      QStringList{QString::fromStdString(base::Trim(m_player.Details().artist))};
  metadata["xesam:album"] = QString::fromStdString(base::Trim(m_player.Details().albumTitle));
  metadata["xesam:trackNumber"] = index + 1;
  const QString preview = m_player.FirstPreview();
  if (!preview.isEmpty()) {
    metadata["mpris:artUrl"] = QUrl::fromLocalFile(preview).toString(QUrl::FullyEncoded);
  }
  return metadata;
}

qlonglong Mpris::PositionUs() const {
  player::Player& rules = m_player.Rules();
  if (rules.State() == player::PlayState::Stopped) return 0;
  const qlonglong ms =
      rules.State() == player::PlayState::Playing ? rules.QueryPosition() : rules.Position();
  return std::max<qlonglong>(ms - rules.TrackStart(), 0) * 1000;
}

void Mpris::Announce() {
  // A change made of several steps (Next stops, then plays) is published once it is complete,
  // so that panels do not flicker through the steps.
  if (m_announcing) return;
  m_announcing = true;
  QTimer::singleShot(0, this, &Mpris::Publish);
}

void Mpris::Publish() {
  m_announcing = false;
  QVariantMap changed;
  const QString status = PlaybackStatus();
  if (status != m_lastStatus) changed["PlaybackStatus"] = m_lastStatus = status;
  const QVariantMap metadata = Metadata();
  if (metadata != m_lastMetadata) changed["Metadata"] = m_lastMetadata = metadata;
  const double volume = m_player.Volume() / 100.0;
  if (volume != m_lastVolume) changed["Volume"] = m_lastVolume = volume;
  if (changed.isEmpty()) return;
  QDBusMessage signal =
      QDBusMessage::createSignal(Path(), "org.freedesktop.DBus.Properties", "PropertiesChanged");
  signal << QString("org.mpris.MediaPlayer2.Player") << changed << QStringList{};
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace app

#include "mpris.moc"
