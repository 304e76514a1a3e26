#include "export/compound_file.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <mutex>

namespace tollenby {
namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

void InitGsfOnce() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// The first error recorded on any of the outputs, or empty.
std::string FirstError(std::initializer_list<GsfOutput*> outputs) {
    for (GsfOutput* output : outputs) {
        if (!output) continue;
        const GError* error = gsf_output_error(output);
        if (error && error->message && *error->message) return error->message;
    }
    return {};
}

WriteResult Failed(const std::string& fileName, const std::string& why) {
    return WriteResult::Failure("写入 " + fileName + " 时出错：" + (why.empty() ? "未知错误" : why));
}

}  // namespace

WriteResult WriteCompoundFile(std::FILE* file, const std::string& fileName, const std::string& streamName,
                              std::string_view data) {
    if (!file) return Failed(fileName, "没有打开的文件");
    InitGsfOnce();
    // keep_open: the caller owns the file and still has to sync and close it.
    GObjectPtr<GsfOutput> sink(gsf_output_stdio_new_FILE(fileName.c_str(), file, TRUE));
    if (!sink) return Failed(fileName, "无法建立输出");
    GObjectPtr<GsfOutfile> container(gsf_outfile_msole_new(sink.get()));
    if (!container) return Failed(fileName, "无法建立复合文档");
    GObjectPtr<GsfOutput> stream(gsf_outfile_new_child(container.get(), streamName.c_str(), FALSE));
    if (!stream) return Failed(fileName, "无法建立数据流 " + streamName);

    // Close everything even after a failed write, so the container is finished with (and the
    // objects released in) a defined order; the first error recorded is the one reported.
    bool ok = gsf_output_write(stream.get(), data.size(), reinterpret_cast<const guint8*>(data.data()));
    ok = gsf_output_close(stream.get()) && ok;
    ok = gsf_output_close(GSF_OUTPUT(container.get())) && ok;  // writes the directory, closes the sink
    std::string error = FirstError({stream.get(), GSF_OUTPUT(container.get()), sink.get()});
    stream.reset();
    container.reset();
    sink.reset();

    if (std::fflush(file) != 0 || std::ferror(file)) {
        if (error.empty()) error = g_strerror(errno);
        ok = false;
    }
    if (!ok || !error.empty()) return Failed(fileName, error);
    return WriteResult::Success();
}

}  // namespace tollenby
