#include "platform/qt/images.h"

#include <map>
#include <utility>

namespace {
std::map<unsigned, std::function<QIcon()>>& IconPainters() {
    static std::map<unsigned, std::function<QIcon()>> m;
    return m;
}
std::map<unsigned, std::function<QPixmap()>>& BitmapPainters() {
    static std::map<unsigned, std::function<QPixmap()>> m;
    return m;
}
std::map<unsigned, std::function<QPixmap(unsigned)>>& ToolbarPainters() {
    static std::map<unsigned, std::function<QPixmap(unsigned)>> m;
    return m;
}
}  // namespace

namespace kv {

void RegisterIcon(unsigned id, std::function<QIcon()> paint) { IconPainters()[id] = std::move(paint); }

QIcon LoadIcon(unsigned id) {
    static std::map<unsigned, QIcon> cache;
    if (auto it = cache.find(id); it != cache.end()) return it->second;
    auto p = IconPainters().find(id);
    if (p == IconPainters().end()) return {};
    return cache[id] = p->second();
}

void RegisterBitmap(unsigned id, std::function<QPixmap()> paint) { BitmapPainters()[id] = std::move(paint); }

QPixmap LoadBitmap(unsigned id) {
    auto p = BitmapPainters().find(id);
    return p == BitmapPainters().end() ? QPixmap() : p->second();
}

void RegisterToolbarImages(unsigned bitmapId, std::function<QPixmap(unsigned)> paint) {
    ToolbarPainters()[bitmapId] = std::move(paint);
}

QPixmap ToolbarImage(unsigned bitmapId, unsigned command) {
    static std::map<std::pair<unsigned, unsigned>, QPixmap> cache;
    auto key = std::make_pair(bitmapId, command);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    auto p = ToolbarPainters().find(bitmapId);
    if (p == ToolbarPainters().end()) return {};
    return cache[key] = p->second(command);
}

}  // namespace kv
