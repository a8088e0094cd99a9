// Disc-id answers of the MusicBrainz database as tests build them, cut down to the fields
// the program reads.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <initializer_list>
#include <utility>

namespace mbanswers {

inline QJsonArray credit(std::initializer_list<std::pair<QString, QString>> nameAndJoin) {
    QJsonArray a;
    for (const auto& [name, join] : nameAndJoin)
        a.append(QJsonObject{{"name", name}, {"joinphrase", join}});
    return a;
}

inline QJsonObject track(int position, const QString& title, QJsonValue length,
                         QJsonValue artists = QJsonValue::Undefined) {
    QJsonObject t{{"position", position}, {"title", title}, {"length", length}};
    if (!artists.isUndefined()) t["artist-credit"] = artists;
    return t;
}

inline QJsonObject medium(int position, const QString& disc, QJsonArray tracks,
                          const QString& format = "CD") {
    return QJsonObject{{"position", position},
                       {"format", format},
                       {"discs", QJsonArray{QJsonObject{{"id", disc}}}},
                       {"tracks", tracks}};
}

inline QJsonObject release(const QString& id, const QString& title, QJsonArray artists,
                           QJsonValue date, QJsonValue country, QJsonArray media) {
    return QJsonObject{{"id", id},     {"title", title},     {"artist-credit", artists},
                       {"date", date}, {"country", country}, {"media", media}};
}

inline QByteArray answer(const QString& disc, QJsonArray releases) {
    return QJsonDocument(QJsonObject{{"id", disc}, {"releases", releases}}).toJson();
}

}  // namespace mbanswers
