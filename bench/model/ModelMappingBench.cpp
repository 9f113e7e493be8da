// Mapping reply records onto models, against the same work written out field by field.
//
// BM_MapRecords and BM_WriteRecords time both ways in one run over the same 10,000 records
// (shaped like the QR-code list items: 13 string fields, three of them sent as numbers) and
// report the ratio mapped/by-hand as the counter "ratio".
#include "foundation/identity/model/MMModel.h"
#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

class BMPassiveModel : public NSObject {
    DV_CLASS(BMPassiveModel, NSObject)
    Ref<NSString> m_account, m_addTime, m_areaId, m_descriptions, m_equipId, m_nickName, m_qrcodeId, m_qrcodeImg,
        m_status, m_title, m_type, m_position, m_areaName;
};

} // namespace

DV_DEFINE_CLASS_WITH(BMPassiveModel, b)
{
    using T = BMPassiveModel;
    b.property("account", &T::m_account, "T@\"NSString\",C,N,V_account");
    b.property("addTime", &T::m_addTime, "T@\"NSString\",C,N,V_addTime");
    b.property("areaId", &T::m_areaId, "T@\"NSString\",C,N,V_areaId");
    b.property("descriptions", &T::m_descriptions, "T@\"NSString\",C,N,V_descriptions");
    b.property("equipId", &T::m_equipId, "T@\"NSString\",C,N,V_equipId");
    b.property("nickName", &T::m_nickName, "T@\"NSString\",C,N,V_nickName");
    b.property("qrcodeId", &T::m_qrcodeId, "T@\"NSString\",C,N,V_qrcodeId");
    b.property("qrcodeImg", &T::m_qrcodeImg, "T@\"NSString\",C,N,V_qrcodeImg");
    b.property("status", &T::m_status, "T@\"NSString\",C,N,V_status");
    b.property("title", &T::m_title, "T@\"NSString\",C,N,V_title");
    b.property("type", &T::m_type, "T@\"NSString\",C,N,V_type");
    b.property("position", &T::m_position, "T@\"NSString\",C,N,V_position");
    b.property("areaName", &T::m_areaName, "T@\"NSString\",C,N,V_areaName");
}

namespace {

constexpr int kRecords = 10000;

const std::vector<Ref<NSDictionary>>& records()
{
    static const std::vector<Ref<NSDictionary>> list = [] {
        std::vector<Ref<NSDictionary>> result;
        result.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            result.push_back(NSDictionary::of({
                {"account"_ns, NSString::stringWithFormat("xl_%d", 100000 + i)},
                {"addTime"_ns, "2016-05-12 10:21:33"_ns},
                {"areaId"_ns, NSString::stringWithFormat("%d", 110000 + i % 300)},
                {"descriptions"_ns, NSString::stringWithFormat("本群每日分享优质货源，欢迎加入 %d", i)},
                {"equipId"_ns, NSString::stringWithFormat("%08x%08x", i * 7919, i * 104729)},
                {"nickName"_ns, "信聊用户"_ns},
                {"qrcodeId"_ns, NSString::stringWithFormat("%d", 500000 + i)},
                {"qrcodeImg"_ns, NSString::stringWithFormat("http://img.example.cn/qrcode/%d.png", 500000 + i)},
                {"status"_ns, NSNumber::from(1)},
                {"title"_ns, NSString::stringWithFormat("微商货源群 %d", i)},
                {"type"_ns, NSNumber::from(i % 3 == 0 ? 11 : 3)},
                {"position"_ns, NSNumber::from(i)},
                {"areaName"_ns, "广东省深圳市"_ns},
            }));
        }
        return result;
    }();
    return list;
}

Ref<NSString> stringField(const NSDictionary& record, std::string_view key)
{
    id value = record.objectForKey(key);
    if (auto string = dv::as<NSString>(value))
        return dv::copyAs<NSString>(string);
    if (auto number = dv::as<NSNumber>(value))
        return number->stringValue();
    return nil;
}

Ref<BMPassiveModel> byHand(const NSDictionary& r)
{
    auto m = alloc<BMPassiveModel>();
    m->m_account = stringField(r, "account");
    m->m_addTime = stringField(r, "addTime");
    m->m_areaId = stringField(r, "areaId");
    m->m_descriptions = stringField(r, "descriptions");
    m->m_equipId = stringField(r, "equipId");
    m->m_nickName = stringField(r, "nickName");
    m->m_qrcodeId = stringField(r, "qrcodeId");
    m->m_qrcodeImg = stringField(r, "qrcodeImg");
    m->m_status = stringField(r, "status");
    m->m_title = stringField(r, "title");
    m->m_type = stringField(r, "type");
    m->m_position = stringField(r, "position");
    m->m_areaName = stringField(r, "areaName");
    return m;
}

void put(NSMutableDictionary& d, const Ref<NSString>& value, const char* key)
{
    if (value)
        d.setObjectForKey(value, NSString::stringWithUTF8String(key));
}

Ref<NSDictionary> toJSONByHand(const BMPassiveModel& m)
{
    auto d = NSMutableDictionary::dictionaryWithCapacity(64);
    put(*d, m.m_account, "account");
    put(*d, m.m_addTime, "addTime");
    put(*d, m.m_areaId, "areaId");
    put(*d, m.m_descriptions, "descriptions");
    put(*d, m.m_equipId, "equipId");
    put(*d, m.m_nickName, "nickName");
    put(*d, m.m_qrcodeId, "qrcodeId");
    put(*d, m.m_qrcodeImg, "qrcodeImg");
    put(*d, m.m_status, "status");
    put(*d, m.m_title, "title");
    put(*d, m.m_type, "type");
    put(*d, m.m_position, "position");
    put(*d, m.m_areaName, "areaName");
    return d;
}

template <class F>
double secondsOf(F&& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_MapRecords(benchmark::State& state)
{
    const auto& list = records();
    (void)mm_modelWithDictionary<BMPassiveModel>(list.front()); // metadata built before timing
    double mapped = 0, manual = 0;
    for (auto _ : state) {
        mapped += secondsOf([&] {
            for (const auto& record : list)
                benchmark::DoNotOptimize(mm_modelWithDictionary<BMPassiveModel>(record));
        });
        manual += secondsOf([&] {
            for (const auto& record : list)
                benchmark::DoNotOptimize(byHand(*record));
        });
    }
    state.counters["mapped_ms"] = mapped * 1000 / static_cast<double>(state.iterations());
    state.counters["by_hand_ms"] = manual * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = mapped / manual;
}
BENCHMARK(BM_MapRecords)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_WriteRecords(benchmark::State& state)
{
    std::vector<Ref<BMPassiveModel>> models;
    for (const auto& record : records())
        models.push_back(byHand(*record));
    (void)mm_modelToJSONObject(models.front());
    double mapped = 0, manual = 0;
    for (auto _ : state) {
        mapped += secondsOf([&] {
            for (const auto& model : models)
                benchmark::DoNotOptimize(mm_modelToJSONObject(model));
        });
        manual += secondsOf([&] {
            for (const auto& model : models)
                benchmark::DoNotOptimize(toJSONByHand(*model));
        });
    }
    state.counters["mapped_ms"] = mapped * 1000 / static_cast<double>(state.iterations());
    state.counters["by_hand_ms"] = manual * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = mapped / manual;
}
BENCHMARK(BM_WriteRecords)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
