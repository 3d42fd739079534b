#pragma once
// The desktop's media controls (MPRIS 2 on the session bus) for the open player: the media
// keys and panel widgets play, pause, skip and seek through the player session, as the
// window's buttons do.

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <string_view>

#include "session/playersession.h"

class QWidget;

namespace app {

inline constexpr std::string_view kMprisService = "org.mpris.MediaPlayer2.lyrabinder";
inline constexpr std::string_view kMprisPath = "/org/mpris/MediaPlayer2";

/// Publishes the player while it exists; without a session bus it does nothing.
class Mpris : public QObject, private session::PlayerObserver {
  Q_OBJECT

 public:
  /// Observes `session` until destroyed; `window` is raised and closed on request and owns
  /// the adaptor. Both must outlive it.
  Mpris(session::PlayerSession& session, QWidget& window);
  ~Mpris() override;

  bool Published() const { return m_published; }
  session::PlayerSession& Session() const { return m_session; }
  QWidget& Window() const { return m_window; }

  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  qlonglong PositionUs() const;
  /// The object path that names track `index` (0-based).
  static QString TrackId(int index);

 private:
  void SelectionChanged(int) override { Announce(); }
  void PageChanged() override { Announce(); }
  void DisplayChanged() override { Announce(); }
  void VolumeChanged() override { Announce(); }
  // Announces the properties that changed since the last announcement, once events have run.
  void Announce();
  void Publish();

  session::PlayerSession& m_session;
  QWidget& m_window;
  bool m_published = false;
  bool m_announcing = false;
  QString m_lastStatus;
  QVariantMap m_lastMetadata;
  double m_lastVolume = -1.0;
};

}  // namespace app
