#include "cli/cli_help.h"

namespace tollenby::cli {

std::string HelpText() {
    return R"(用法：tollenby-cli [选项]... [关键词]...
按关键词采集目录网站的搜索结果和详细信息，导出为表格文件，可选下载二维码图片。

关键词：
  关键词                     命令行参数，每个参数一个关键词（空参数是一个空关键词）
  -k, --keywords FILE        从文件读取关键词，每行一个（UTF-8、带 BOM 的 UTF-16 或 GBK）；
                             - 表示标准输入。参数在前，文件在后
  --                         之后的参数都是关键词，即使以 - 开头

采集：
  -p, --pages N              每个关键词采集的页数，默认 1（0 或更小：不采集）
  -t, --threads N            同时采集详细信息的线程数，1 到 64，默认 5
  -s, --since day|week|month|all
                             二维码发布时间：一天、一周、一月内或全部，默认 all
  --host HOST[:PORT]         搜索主机，默认取环境变量 TOLLENBY_SEARCH_HOST，否则用内置主机
  --retries N                暂时性失败的重试次数，默认 2；0 表示只试一次
  --proxy URL                所有请求都经过这个代理（http://、https://、socks5h://，
                             可在地址中带用户名和密码）。不给时按 curl 的惯例读取环境变量
                             http_proxy、https_proxy、all_proxy 和 no_proxy

导出：
  -o, --output DIR           文件保存到这个文件夹，默认当前文件夹；
                             -o - 把唯一选定的文本格式（csv 或 jsonl）写到标准输出
  -f, --format xls|xlsx|csv|jsonl
                             导出格式，可多次给出，默认 xls。文件名为 data.xls、
                             data.xlsx、data.csv、data.jsonl
  --csv-no-bom               data.csv 不带 UTF-8 字节顺序标记
  -i, --images all|group|personal|region=地区
                             采集后下载二维码图片到输出文件夹（1.gif、2.gif ...）：
                             全部、微信群、个人，或地区等于给定文字的行（region= 为空时取地区为空的行）

其他：
  -q, --quiet                不显示进度
  -h, --help                 显示本帮助
  -V, --version              显示版本

进度写到标准错误：在终端上是一行不断刷新的进度，否则每行一条状态文字。

退出码：
  0    全部读取并写入成功
  1    采集完成，但有搜索页、详细页或图片失败（数目见最后几行）
  2    用法错误
  3    导出文件无法写入（原因见标准错误；已有的文件保持原样）
  130  被 Ctrl-C 中断（第一次 Ctrl-C 停止采集并导出已采集的结果，第二次立即退出）

示例：
  tollenby-cli -p 3 -f xlsx -f csv -o ~/lists 美食 旅游
  tollenby-cli -k keywords.txt -o - -f jsonl | jq .title
)";
}

std::string VersionText() {
    return "tollenby-cli " TOLLENBY_VERSION "\n";
}

}  // namespace tollenby::cli
