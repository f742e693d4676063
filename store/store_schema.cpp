#include "store/store_schema.h"

#include <array>

namespace morvalin {
namespace {

constexpr std::array kPendingFields = {
    FieldSpec{"文件完整地址", FieldKind::kText}, FieldSpec{"下载文件名", FieldKind::kText},
    FieldSpec{"下载路径", FieldKind::kText},     FieldSpec{"歌曲来源", FieldKind::kText},
    FieldSpec{"编号", FieldKind::kInteger},
};
constexpr std::array kSettingsFields = {
    FieldSpec{"下载速度", FieldKind::kText},
    FieldSpec{"下载路径", FieldKind::kText},
    FieldSpec{"自动下载", FieldKind::kInteger},
};
constexpr std::array kFinishedFields = {
    FieldSpec{"文件名", FieldKind::kText},
    FieldSpec{"完成时间", FieldKind::kText},
    FieldSpec{"歌曲来源", FieldKind::kText},
    FieldSpec{"下载目录", FieldKind::kText},
};

const TableSpec kPending{"下载记录", kPendingFields};
const TableSpec kSettings{"设置记录", kSettingsFields};
const TableSpec kFinished{"完成下载", kFinishedFields};
const std::array<const TableSpec*, 3> kAll{&kPending, &kSettings, &kFinished};

}  // namespace

const TableSpec& PendingTasksTable() { return kPending; }
const TableSpec& SettingsTable() { return kSettings; }
const TableSpec& FinishedTable() { return kFinished; }
std::span<const TableSpec* const> StoreTables() { return kAll; }

}  // namespace morvalin
