#include "app/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cmath>

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
    m_mpris->Window().raise();
    m_mpris->Window().activateWindow();
  }
  // Quit closes the player, as "Close Window" does.
  void Quit() { m_mpris->Window().close(); }

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
  QString LoopStatus() const { return Session().Loop() ? "Playlist" : "None"; }
  // Loop knows only on and off: a loop of one track plays the album.
  void SetLoopStatus(const QString& status) { Session().SetLoop(status != "None"); }
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  bool Shuffle() const { return Session().Random(); }
  void SetShuffle(bool on) { Session().SetRandom(on); }
  QVariantMap Metadata() const { return m_mpris->Metadata(); }
  double Volume() const { return Session().Volume() / 100.0; }
  void SetVolume(double volume) {
    Session().SetVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
  }
  qlonglong Position() const { return m_mpris->PositionUs(); }
  bool Yes() const { return true; }

 public slots:
  void Play() { Session().PlayUnlessPlaying(); }
  void Pause() { Session().Pause(); }
  void PlayPause() { Session().PlayPause(); }
  void Stop() { Session().Stop(); }
  void Next() { Session().Next(); }
  void Previous() { Session().Previous(); }
  void Seek(qlonglong offsetUs) {
    if (Session().SeekBy(offsetUs / 1000)) emit Seeked(m_mpris->PositionUs());
  }
  // A position outside the playing track is ignored, as the MPRIS interface asks.
  void SetPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    const int index = Session().Rules().PlayingTrack();
    if (index < 0 || positionUs < 0 || track.path() != Mpris::TrackId(index)) return;
    if (Session().SetPosition(index, positionUs / 1000)) emit Seeked(m_mpris->PositionUs());
  }
  void OpenUri(const QString&) {}

 signals:
  void Seeked(qlonglong positionUs);

 private:
  session::PlayerSession& Session() const { return m_mpris->Session(); }
  Mpris* m_mpris;
};

}  // namespace

Mpris::Mpris(session::PlayerSession& session, QWidget& window)
    : QObject(&window), m_session(session), m_window(window) {
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
  m_lastVolume = session.Volume() / 100.0;
  session.AddObserver(*this);
}

Mpris::~Mpris() {
  if (!m_published) return;
  m_session.RemoveObserver(*this);
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(Service());
  bus.unregisterObject(Path());
}

QString Mpris::TrackId(int index) {
  return QStringLiteral("/org/lyrabinder/track/%1").arg(index + 1);
}

QString Mpris::PlaybackStatus() const {
  switch (m_session.Rules().State()) {
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
  const player::Player& rules = m_session.Rules();
  // What is heard, not the line last clicked.
  const int index = m_session.HeardTrack();
  if (index < 0 || index >= static_cast<int>(rules.Tracks().size())) return {};
  const player::PlayerTrack& track = rules.Tracks()[static_cast<std::size_t>(index)];
  QVariantMap metadata;
  metadata["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath(TrackId(index)));
  metadata["mpris:length"] = qlonglong{track.playLength} * 1000;
  metadata["xesam:title"] = QString::fromStdString(base::Trim(track.title));
  const webview::DetailTexts& details = m_session.Album().details;
  metadata["xesam:artist"] = QStringList{QString::fromStdString(base::Trim(details.artist))};
  metadata["xesam:album"] = QString::fromStdString(base::Trim(details.albumTitle));
  metadata["xesam:trackNumber"] = index + 1;
  const QString preview = QString::fromStdString(m_session.FirstPreview());
  if (!preview.isEmpty()) {
    metadata["mpris:artUrl"] = QUrl::fromLocalFile(preview).toString(QUrl::FullyEncoded);
  }
  return metadata;
}

qlonglong Mpris::PositionUs() const {
  return m_session.PositionInTrack() * 1000;
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
  const double volume = m_session.Volume() / 100.0;
  if (volume != m_lastVolume) changed["Volume"] = m_lastVolume = volume;
  if (changed.isEmpty()) return;
  QDBusMessage signal =
      QDBusMessage::createSignal(Path(), "org.freedesktop.DBus.Properties", "PropertiesChanged");
  signal << QString("org.mpris.MediaPlayer2.Player") << changed << QStringList{};
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace app

#include "mpris.moc"
