#include "engine/MpvProperties.h"

#include <mpv/client.h>

#include <atomic>
#include <cstring>

namespace tetrapan {

namespace {

std::atomic<quint64> numbersRead{0};

} // namespace

QString errorText(int code)
{
    return QString::fromUtf8(mpv_error_string(code));
}

std::optional<double> doubleProperty(mpv_handle* handle, const char* name)
{
    double value = 0.0;
    numbersRead.fetch_add(1, std::memory_order_relaxed);
    if (mpv_get_property(handle, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<qint64> intProperty(mpv_handle* handle, const QString& name)
{
    int64_t value = 0;
    numbersRead.fetch_add(1, std::memory_order_relaxed);
    if (mpv_get_property(handle, name.toUtf8().constData(), MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

quint64 numberReads()
{
    return numbersRead.load(std::memory_order_relaxed);
}

QString stringProperty(mpv_handle* handle, const QString& name)
{
    char* value = mpv_get_property_string(handle, name.toUtf8().constData());
    if (!value)
        return {};
    QString text = QString::fromUtf8(value);
    mpv_free(value);
    return text;
}

const mpv_node* mapValue(const mpv_node& map, const char* key)
{
    if (map.format != MPV_FORMAT_NODE_MAP)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

bool nodeFlag(const mpv_node* node)
{
    return node && node->format == MPV_FORMAT_FLAG && node->u.flag != 0;
}

qint64 nodeInt(const mpv_node* node)
{
    return node && node->format == MPV_FORMAT_INT64 ? node->u.int64 : 0;
}

} // namespace tetrapan
