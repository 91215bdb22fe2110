#include "archive/model_table.h"

#include <algorithm>
#include <unordered_map>

#include "archive/dat_doc.h"

void GroupTwentyViewSets(std::vector<_dat_model>& models, std::span<const ModelKey> keys) {
    const std::size_t n = models.size();
    auto pack = [](std::uint32_t group, std::uint32_t instance) {
        return (static_cast<std::uint64_t>(group) << 32) | instance;
    };

    // Rows that could be views, bucketed by group and instance in table order.
    // A set always takes the earliest row of each of its views still present,
    // so each bucket is a queue consumed from the front.
    std::vector<std::uint32_t> order;
    order.reserve(n);
    for (std::uint32_t k = 0; k < n; ++k)
        if (keys[k].instance & 0xFFF) order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return pack(keys[a].group, keys[a].instance) < pack(keys[b].group, keys[b].instance);
    });
    struct Queue {
        std::uint32_t next;
        std::uint32_t end;
    };
    std::unordered_map<std::uint64_t, Queue> queues;
    queues.reserve(order.size());
    for (std::uint32_t i = 0; i < order.size();) {
        std::uint64_t key = pack(keys[order[i]].group, keys[order[i]].instance);
        std::uint32_t j = i + 1;
        while (j < order.size() && pack(keys[order[j]].group, keys[order[j]].instance) == key) ++j;
        queues.emplace(key, Queue{i, j});
        i = j;
    }

    std::vector<char> absorbed(n, 0);
    Queue* found[20];
    for (std::uint32_t k = 0; k < n; ++k) {
        if (absorbed[k]) continue;
        models[k].nViews = 1;
        const ModelKey& e = keys[k];
        if (e.instance & 0xFFF) continue;
        int h = 1;
        for (; h < 20; ++h) {
            auto it = queues.find(pack(e.group, ViewInstance(e.instance, h)));
            if (it == queues.end() || it->second.next == it->second.end) break;
            found[h] = &it->second;
        }
        if (h < 20) continue;
        models[k].nViews = 20;
        for (h = 1; h < 20; ++h) absorbed[order[found[h]->next++]] = 1;
    }

    std::size_t w = 0;
    for (std::size_t k = 0; k < n; ++k)
        if (!absorbed[k]) {
            if (w != k) models[w] = std::move(models[k]);
            ++w;
        }
    models.resize(w);
}
