#pragma once
// The desktop's media controls (MPRIS 2 on the session bus) for the open player: the media
// keys and panel widgets play, pause, skip and seek through the same rules as the buttons.

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <string_view>

namespace app {

class Form5;

inline constexpr std::string_view kMprisService = "org.mpris.MediaPlayer2.lyrabinder";
inline constexpr std::string_view kMprisPath = "/org/mpris/MediaPlayer2";

/// Publishes the player while it exists; without a session bus it does nothing.
class Mpris : public QObject {
  Q_OBJECT

 public:
  explicit Mpris(Form5& player);
  ~Mpris() override;

  bool Published() const { return m_published; }
  Form5& Player() const { return m_player; }

  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  qlonglong PositionUs() const;
  /// The object path that names track `index` (0-based).
  static QString TrackId(int index);

 private:
  // Announces the properties that changed since the last announcement, once events have run.
  void Announce();
  void Publish();

  Form5& m_player;
  bool m_published = false;
  bool m_announcing = false;
  QString m_lastStatus;
  QVariantMap m_lastMetadata;
  double m_lastVolume = -1.0;
};

}  // namespace app
