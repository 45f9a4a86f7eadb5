// Saved downloads: the target file name, the progress line, and the script
// that writes it to the page's console without letting it run as script.
#include "browser/downloads.h"

#include <gtest/gtest.h>

namespace {

TEST(downloads, saved_in_the_downloads_folder_under_a_plain_name) {
  EXPECT_EQ(userdownloads("/data/orva"), "/data/orva/Downloads");
  EXPECT_EQ(downloadfilename("report.pdf"), "report.pdf");
  EXPECT_EQ(downloadfilename("two words (1).tar.gz"), "two words (1).tar.gz");
  EXPECT_EQ(downloadfilename("../../.bashrc"), ".bashrc");
  EXPECT_EQ(downloadfilename("/etc/passwd"), "passwd");
  EXPECT_EQ(downloadfilename("..\\evil.exe"), "evil.exe");
  EXPECT_EQ(downloadfilename(""), "download");
  EXPECT_EQ(downloadfilename(".."), "download");
  EXPECT_EQ(downloadfilename("dir/"), "download");
}

TEST(downloads, progress_line_counts_ending_and_backslashes) {
  const std::string url = "http://127.0.0.1:8765/files/report.pdf";
  EXPECT_EQ(progressline(url, 0, 5000, downloadstate::running),
            "Download http://127.0.0.1:8765/files/report.pdf - 0/5000");
  EXPECT_EQ(progressline(url, 5000, 5000, downloadstate::complete),
            "Download http://127.0.0.1:8765/files/report.pdf - 5000/5000 (complete)");
  EXPECT_EQ(progressline(url, 1024, 5000, downloadstate::canceled),
            "Download http://127.0.0.1:8765/files/report.pdf - 1024/5000 (canceled)");
  // Unknown total and sizes beyond 32 bits.
  EXPECT_EQ(progressline("u", 6000000000, -1, downloadstate::running), "Download u - 6000000000/-1");
  EXPECT_EQ(progressline("http://h/a\\b\\\\c", 1, 2, downloadstate::running),
            "Download http://h/a/b//c - 1/2");
}

TEST(downloads, literal_escapes_what_could_end_the_string_or_the_script) {
  EXPECT_EQ(jsstringliteral(""), "\"\"");
  EXPECT_EQ(jsstringliteral("plain ascii/ü€"), "\"plain ascii/ü€\"");
  EXPECT_EQ(jsstringliteral("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(jsstringliteral("1\n2\r3\t4"), "\"1\\n2\\r3\\t4\"");
  EXPECT_EQ(jsstringliteral(std::string("\x00\x01\x1f\x7f", 4)), "\"\\u0000\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(jsstringliteral("x\u2028y\u2029z"), "\"x\\u2028y\\u2029z\"");
  EXPECT_EQ(jsstringliteral("</script><script>"), "\"\\u003c/script>\\u003cscript>\"");
  // Other characters starting with the same UTF-8 byte stay as they are.
  EXPECT_EQ(jsstringliteral("\u2026\u2030"), "\"\u2026\u2030\"");
  // A cut-off sequence at the end is passed through, not read past.
  EXPECT_EQ(jsstringliteral("\xe2\x80"), "\"\xe2\x80\"");
}

TEST(downloads, progress_script_logs_the_line_literally) {
  const std::string line = progressline("data:text/plain,\");alert(1);//\\", 3, 3, downloadstate::complete);
  EXPECT_EQ(line, "Download data:text/plain,\");alert(1);/// - 3/3 (complete)");
  EXPECT_EQ(progressscript(line),
            "console.log(\"Download data:text/plain,\\\");alert(1);/// - 3/3 (complete)\");");
}

}  // namespace
