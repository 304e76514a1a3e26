// A result table that looks like a real one, for the export benchmarks: mixed Chinese and ASCII, a
// deleted entry every fifty rows, account IDs with leading zeros.
#pragma once

#include <string>
#include <vector>

#include "export/spreadsheet.h"
#include "text/encoding.h"

namespace tollenby {

inline std::vector<SpreadsheetRow> RealisticRows(int count) {
    const char* industries[] = {"互联网",   "教育培训", "餐饮美食", "旅游出行", "金融理财",
                                "房产家居", "母婴亲子", "健康医疗", "汽车",     "电商微商"};
    const char* regions[] = {"广东 深圳", "北京 朝阳", "上海 浦东", "浙江 杭州", "四川 成都"};
    const char* sources[] = {"微信群", "公众号", "个人号"};
    std::vector<SpreadsheetRow> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i + 1);
        const char* industry = industries[i % 10];
        std::string description = "本群为" + std::string(industry) +
                                  "爱好者交流群，每天分享行业资讯、经验与资源，" + "欢迎加入 No." + n +
                                  "，禁止广告刷屏，违者踢出。";
        bool deleted = i % 50 == 49;
        std::string date = "2024-0";  // built in steps: GCC 12 warns falsely on "literal" + std::string&&
        date += std::to_string(i % 9 + 1);
        date += '-';
        date += std::to_string(i % 28 + 1);
        std::vector<std::string> utf8 = {
            n,
            std::string(regions[i % 5]) + std::string(industry) + "交流群" + n,
            "http://www.example-directory.com/group/" + n + ".html",
            sources[i % 3],
            deleted ? "文章已经删除" : description,
            deleted ? "文章已经删除" : industry,
            deleted ? "文章已经删除" : date,
            deleted ? "文章已经删除" : regions[i % 5],
            deleted ? "文章已经删除" : std::string(industry) + ",交流,分享",
            deleted ? "文章已经删除" : std::string("0") + std::to_string(13800000000LL + i),
            deleted ? "文章已经删除" : "http://img.example-directory.com/qrcode/" + n + ".jpg",
            "采集完成",
        };
        SpreadsheetRow row;
        for (std::size_t k = 0; k < row.size(); ++k) row[k] = Utf8ToLocal(utf8[k]);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace tollenby
