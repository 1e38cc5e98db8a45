#include "plans/plan_field_help.h"

#include <initializer_list>
#include <string>

namespace marl {
namespace {

std::vector<Text> Segments(std::initializer_list<std::string_view> utf8) {
    std::vector<Text> segments;
    for (std::string_view segment : utf8) segments.push_back(Gbk(segment));
    return segments;
}

constexpr std::string_view kRule = "--------------------------------------";
// One line of the help, too long for one literal in the source.
constexpr std::string_view kClassOrIdLine =
    "如果你懂点网页知识，同样可以使用 class 或 id "
    "获取元素信息的方式，获取文章列表区域。";
constexpr std::string_view kFilterReason =
    "匹配到链接中，有些可能不是文章，那么我们要过滤它们。如：栏目，作者";

}  // namespace

Text AreaHelpText() {
    std::vector<std::string_view> lines = {
        "告诉软件新文章显示区域",
        "",
        "可空。留空，表示不设置文章区域，从整个页面匹配文章网址",
        "",
        "推荐填写，可提高效率",
        "",
        "",
        "开始标记 与 结束标记 用[*]分开，即：开始标记[*]结束标记",
        "",
        "",
        "",
        "若填写，表示只匹配网页上 从 “开始标记”到“结束标记”之间的文章网址（推荐，提升效率）",
        "",
        "",
        "",
        "下面一段代码，如何填写，能够将文章列表区域截取出来：",
        kRule,
        "<body>",
        " <div class=\"row\">",
        " <div class=\"h3title\"><h3>最新更新</h3></div>",
        "  <ul class=\"news\">",
        "   <li><a href=\"/news/1.html\">恭喜，北京2008申奥成功！</a></li>",
        "   <li><a href=\"/news/2.html\">Marl大神预测2016奥运会可能在里约举行！</a></li>",
        "   <li><a href=\"/news/3.html\">我国正式启动3G技术，手机将会发生什么改变</a></li>",
        "   <li><a href=\"/news/4.html\">2周后，我省将迎来2002年第一场雪</a></li>",
        "  </ul>",
        " </div>",
        "</body>",
        kRule,
        "很简单",
        "<ul class=\"news\">[*]</ul> ",
        "就可以了，当然也可以用： ",
        "最新更新</h3></div>[*]</ul>",
    };
    // Room before the advanced forms, so that they only show up when the user scrolls for them.
    lines.insert(lines.end(), 60, "");
    lines.insert(lines.end(), {
                                  "高级遍：",
                                  kClassOrIdLine,
                                  "如：",
                                  "class-[class名]-3 表示 获取页面 class",
                                  "id-[*]-2",
                              });
    std::string utf8;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) utf8 += "\r\n";
        utf8 += lines[i];
    }
    return Gbk(utf8);
}

std::vector<Text> FieldHelpSegments(std::string_view control) {
    if (control == "框_名") return Segments({"给方案起个名吧！"});
    if (control == "框_url") return Segments({"获取新文章的列表页网址"});
    if (control == "框_区域规则") return {AreaHelpText()};
    if (control == "框_必含") {
        return Segments({"可不填", "文章网址必须包含哪个词\r\n\r\n\r\n", "只能填写1个词", "只能填写1个词"});
    }
    if (control == "框_包含") {
        return Segments({"可不填",
                         "多个特征符用 $$ 隔开，网址至少包含1个特征符，才算文章网址：\r\n\r\n如：此处填写 "
                         "wenzhang$$news 表示：包含 wenzhang 或 news 的链接，才算文章的链接。即：不包含 "
                         "wenzhang 也不包含 news 时，该网址将被舍弃\r\n\r\n",
                         kFilterReason});
    }
    if (control == "框_不包含") {
        return Segments({"可不填",
                         "多个特征符用 $$ 隔开，网址不能包含任一1个特征符，否则将被过滤\r\n\r\n如：此处填写 "
                         "list$$index 表示：网址中包含 list 或 index 时，该网址将被舍弃 \r\n",
                         kFilterReason});
    }
    if (control == "框_dom") {
        return Segments({"通常保持不变即可", "有些网站，匹配的网址为相对路径，需要补上域名转换成绝对地址\r\n",
                         "软件会自动填写此部分，除非有特殊需要，否不用改"});
    }
    if (control == "框_行结构") {
        return Segments({"通常保持留空即可",
                         "有些网站，1个网址会对应多个标题，需要根据行结构，选择用哪个标题\r\n",
                         "比如，有些列表，缩略图和标题，都超链接到文章，这时，需要手动指定行结构",
                         "\r\n\r\n单击右边的列表框，即可显示对应的行结构"});
    }
    return {};
}

}  // namespace marl
