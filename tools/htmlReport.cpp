#include "htmlReport.h"

#include <cmath>
#include <cstdio>

namespace qvt {
namespace ht {
namespace tool {

namespace {

const char* const kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence that starts at s[i], 0 when there is
// none (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return n;
}

const char* const kStyle = R"CSS(
:root{--line:#d9dee5;--muted:#6b7380;--accent:#1f5fa8;--band:#f5f7fa}
*{box-sizing:border-box}
body{margin:0;padding:1.2em 1.6em;font:14px/1.45 system-ui,-apple-system,"Segoe UI","Noto Sans CJK SC","Microsoft YaHei",sans-serif;color:#1d232b;background:#fff}
h1{font-size:1.35em;margin:0 0 .4em}
dl.facts{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:0 0 1em;color:var(--muted)}
dl.facts dt{font-weight:600}dl.facts dd{margin:0}
.bar{display:none;gap:.5em;align-items:center;margin:0 0 .6em}
html.js .bar{display:flex}
.bar button,.bar select{font:inherit;padding:.15em .7em;border:1px solid var(--line);border-radius:4px;background:#fff;cursor:pointer}
.bar button:hover{border-color:var(--accent)}
table{border-collapse:collapse;min-width:60%}
thead th{position:sticky;top:0;background:#eef2f7;text-align:left;font-weight:600;padding:.35em .6em;border-bottom:2px solid var(--line);white-space:nowrap}
thead th.n{text-align:right}
tbody td{padding:.22em .6em;border-bottom:1px solid var(--line);vertical-align:top}
tbody tr:hover td{background:var(--band)}
td.c{white-space:nowrap;padding-left:calc(var(--d,0)*1.4em + .4em);font-family:ui-monospace,"DejaVu Sans Mono",monospace}
td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
tr.z td{color:var(--muted)}
table.noempty tr.z{display:none}
tr[data-depth="0"] td{font-weight:600}
.t{display:inline-block;width:1.3em;height:1.3em;margin-right:.2em;padding:0;border:0;background:none;font:inherit;line-height:1.3em;text-align:center;color:var(--accent);vertical-align:middle}
button.t{cursor:pointer;visibility:hidden}
html.js button.t{visibility:visible}
button.t::before{content:"\25BE"}
tr.shut button.t::before{content:"\25B8"}
)CSS";

const char* const kScript = R"JS(
(function () {
  var html = document.documentElement;
  html.classList.add('js');
  var rows = Array.prototype.slice.call(document.querySelectorAll('#tree tbody tr'));
  var depth = rows.map(function (r) { return parseInt(r.getAttribute('data-depth'), 10) || 0; });
  var deepest = depth.reduce(function (a, b) { return Math.max(a, b); }, 0);
  function refresh() {
    var hideBelow = Infinity;
    for (var i = 0; i < rows.length; i++) {
      var r = rows[i];
      if (depth[i] <= hideBelow) {
        hideBelow = Infinity;
        r.hidden = false;
        if (r.classList.contains('shut')) hideBelow = depth[i];
      } else {
        r.hidden = true;
      }
    }
  }
  function shut(r, closed) {
    if (!r.classList.contains('k')) return;
    r.classList.toggle('shut', closed);
    var b = r.querySelector('button.t');
    if (b) b.setAttribute('aria-expanded', closed ? 'false' : 'true');
  }
  function openTo(level) {
    rows.forEach(function (r, i) { shut(r, depth[i] >= level); });
    refresh();
    select.value = level > deepest ? 'all' : String(level);
  }
  function fromHash() {
    var h = location.hash.replace(/^#/, '');
    if (h === 'all') return Infinity;
    var m = /^level=(\d+)$/.exec(h);
    return m ? parseInt(m[1], 10) : 2;
  }
  var select = document.getElementById('level');
  for (var d = 1; d <= deepest; d++) {
    var o = document.createElement('option');
    o.value = String(d);
    o.textContent = String(d);
    select.appendChild(o);
  }
  var all = document.createElement('option');
  all.value = 'all';
  all.textContent = 'all';
  select.appendChild(all);
  select.addEventListener('change', function () {
    openTo(select.value === 'all' ? Infinity : parseInt(select.value, 10));
  });
  document.getElementById('open-all').addEventListener('click', function () { openTo(Infinity); });
  document.getElementById('close-all').addEventListener('click', function () { openTo(1); });
  document.getElementById('hide-empty').addEventListener('change', function (e) {
    document.getElementById('tree').classList.toggle('noempty', e.target.checked);
  });
  document.querySelector('#tree tbody').addEventListener('click', function (e) {
    var b = e.target.closest('button.t');
    if (!b) return;
    var r = b.closest('tr');
    shut(r, !r.classList.contains('shut'));
    refresh();
  });
  window.addEventListener('hashchange', function () { openTo(fromHash()); });
  openTo(fromHash());
  html.setAttribute('data-ready', '1');
})();
)JS";

}  // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                ++i;
                continue;
            case '<':
                out += "&lt;";
                ++i;
                continue;
            case '>':
                out += "&gt;";
                ++i;
                continue;
            case '"':
                out += "&quot;";
                ++i;
                continue;
            case '\'':
                out += "&#39;";
                ++i;
                continue;
            default:
                break;
        }
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F) {
            out += kReplacement;
            ++i;
            continue;
        }
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string formatAmount(double value) {
    if (!std::isfinite(value)) return "n/a";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", std::fabs(value));
    std::string digits(buf);
    const std::size_t point = digits.find('.');
    std::string out = value < 0 && digits != "0.00" ? "-" : "";
    for (std::size_t i = 0; i < point; ++i) {
        if (i > 0 && (point - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    out.append(digits, point, std::string::npos);
    return out;
}

namespace {

std::string formatCount(std::uint64_t count) {
    const std::string digits = std::to_string(count);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

CHtmlReport::CHtmlReport(std::ostream& out, const CHtmlHead& head)
    : m_out(out), m_columns(head.columns.size()) {
    const std::string title = htmlEscape(head.title);
    m_out << "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<title>"
          << title << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>" << title
          << "</h1>\n";
    if (!head.facts.empty()) {
        m_out << "<dl class=\"facts\">\n";
        for (const auto& fact : head.facts) {
            m_out << "<dt>" << htmlEscape(fact.first) << "</dt><dd>" << htmlEscape(fact.second)
                  << "</dd>\n";
        }
        m_out << "</dl>\n";
    }
    m_out << "<div class=\"bar\"><button type=\"button\" id=\"open-all\">Open all</button>"
             "<button type=\"button\" id=\"close-all\">Close all</button>"
             "<label>Levels open <select id=\"level\"></select></label>"
             "<label><input type=\"checkbox\" id=\"hide-empty\"> Hide empty nodes</label></div>\n"
             "<table id=\"tree\">\n<thead><tr><th>Code</th><th>Name</th>"
             "<th class=\"n\">Holdings</th>";
    for (const std::string& column : head.columns) {
        const std::string name = htmlEscape(column);
        m_out << "<th class=\"n\" title=\"sum of " << name << "\">" << name << "</th>";
    }
    m_out << "</tr></thead>\n<tbody>\n";
}

void CHtmlReport::addNode(const CHtmlNode& node) {
    if (m_finished) return;
    int depth = node.depth < 0 ? 0 : node.depth;
    if (m_hasPending) {
        if (depth > m_pending.depth + 1) depth = m_pending.depth + 1;
        writeRow(depth > m_pending.depth);
    } else if (depth > 1) {
        depth = 1;  // a first node is a root (0) or one of several tops (1)
    }
    m_pending = node;
    m_pending.depth = depth;
    m_hasPending = true;
    m_path.resize(static_cast<std::size_t>(depth) + 1);
    m_path[depth] = node.code;
}

void CHtmlReport::writeRow(bool hasChildren) {
    const CHtmlNode& n = m_pending;
    std::string path;
    for (std::size_t i = 1; i < m_path.size(); ++i) {
        if (i > 1) path += '/';
        path += m_path[i];
    }
    m_out << "<tr data-depth=\"" << n.depth << "\" data-path=\"" << htmlEscape(path)
          << "\" data-count=\"" << n.count << '"';
    const char* klass = hasChildren ? (n.count == 0 ? "k z" : "k") : (n.count == 0 ? "z" : "");
    if (*klass) m_out << " class=\"" << klass << '"';
    m_out << "><td class=\"c\" style=\"--d:" << n.depth << "\">";
    if (hasChildren) {
        m_out << "<button type=\"button\" class=\"t\" aria-expanded=\"true\" "
                 "aria-label=\"open or close\"></button>";
    } else {
        m_out << "<span class=\"t\"></span>";
    }
    m_out << htmlEscape(n.code) << "</td><td>" << htmlEscape(n.name) << "</td><td class=\"n\">"
          << formatCount(n.count) << "</td>";
    for (std::size_t i = 0; i < m_columns; ++i) {
        m_out << "<td class=\"n\">";
        if (i < n.sums.size()) m_out << formatAmount(n.sums[i]);
        m_out << "</td>";
    }
    m_out << "</tr>\n";
}

bool CHtmlReport::finish() {
    if (!m_finished) {
        if (m_hasPending) writeRow(false);
        m_hasPending = false;
        m_finished = true;
        m_out << "</tbody>\n</table>\n<script>" << kScript << "</script>\n</body>\n</html>\n";
        m_out.flush();
    }
    return static_cast<bool>(m_out);
}

bool writeHtmlReport(std::ostream& out, const CHtmlHead& head,
                     const std::vector<CHtmlNode>& nodes) {
    CHtmlReport report(out, head);
    for (const CHtmlNode& node : nodes) report.addNode(node);
    return report.finish();
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
