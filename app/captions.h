// The windows' own texts. Like every literal of the program they compile to GBK; they reach the
// widgets through FromGbk.
#pragma once

#include <string_view>

namespace korvane::captions {

inline constexpr std::string_view kMainTitle = "Korvane";
inline constexpr std::string_view kFolderLabel = "下载目录";
// Shown in light grey in the empty folder field: drag and drop work, and the path ends in "\".
inline constexpr std::string_view kFolderHint = "   支持拖放,注意目录地址以\"\\\"结束";
inline constexpr std::string_view kBrowse = "...";
inline constexpr std::string_view kIdLabel = "图标CID：";
inline constexpr std::string_view kDefaultId = "12527";
inline constexpr std::string_view kStart = "开始";
inline constexpr std::string_view kPause = "暂停";
inline constexpr std::string_view kTutorialLink = "教程";
inline constexpr std::string_view kMenu = "菜单";
inline constexpr std::string_view kMenuProxy = "获取代理IP";
inline constexpr std::string_view kChooseFolderTitle = "请选择下载目录";
inline constexpr std::string_view kChooseFolderFirst = "先选择目录";
// A folder whose name GBK cannot spell: the files would land in another folder.
inline constexpr std::string_view kFolderNameUnusable = "目录名含有无法处理的字符";
inline constexpr std::string_view kCancelled = "已经取消转换.";
// The tutorial window's caption and the advice it shows when it opens.
inline constexpr std::string_view kTutorialAdvice =
    "注意看左下角的cid就是我们需要的下载ID，uid的话相当于文件夹，打开后才能看到多个cid";

// Light grey for the hint, black for everything typed or put into the field (0xBBGGRR).
inline constexpr int kHintColour = 12632256;
inline constexpr int kTextColour = 0;

}  // namespace korvane::captions
