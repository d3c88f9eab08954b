# docs/performance.md from the benchmarks' JSON files (jq -s: one document per
# benchmark program) and the machine facts passed with --arg. Called by
# scripts/bench-report.sh.

# ---- numbers and names --------------------------------------------------------

def fixed($d):
  pow(10; $d) as $p | ((. * $p) | round) as $r
  | if $d == 0 then ($r | tostring)
    else (($r / $p) | floor | tostring) + "." + ((($r % $p) + $p) | tostring | .[1:]) end;
def mib: . / 1048576;
# Two decimals, three where two would round onto the goal it is judged by.
def near($goal): if ((. - $goal) | fabs) < 0.005 then fixed(3) else fixed(2) end;

def sides: ["Ours", "ours", "CryptoPP", "Botan", "OpenSSL", "Gmp"];
def oracle_name: {"CryptoPP": "Crypto++", "Botan": "Botan", "OpenSSL": "OpenSSL", "Gmp": "GMP"}[.] // .;

# A run's name without Google Benchmark's own additions (iterations:, repeats:, real_time).
def clean: split("/") | map(select((test(":") | not) and . != "real_time")) | join("/");
def tokens: clean | split("/") | map(split("_"));
# Which side a run is: the token that names it ("Ours" or an oracle).
def side: [tokens[][] | select(IN(sides[]))] | first // "";
# The row the run belongs to: its name without that token.
def key: tokens | map(map(select(IN(sides[]) | not)) | join("_")) | map(select(. != "")) | join("/");
def ours: . == "Ours" or . == "ours";

def program($name): map(select(.context.executable | endswith("/" + $name))) | first // {benchmarks: []};
def runs($name): program($name).benchmarks | map(select(.run_type == "iteration"));

# Groups of runs by key, in the order the keys first appear.
def rows:
  map(. + {key: (.name | key), side: (.name | side)})
  | reduce .[] as $r ({order: [], by: {}};
      if .by[$r.key] then .by[$r.key] += [$r] else .order += [$r.key] | .by[$r.key] = [$r] end)
  | . as $g | $g.order | map($g.by[.]);

def median: sort | if length == 0 then null
  elif length % 2 == 1 then .[length / 2 | floor]
  else (.[length / 2 - 1] + .[length / 2]) / 2 end;

def status($ok): if $ok then "met" else "not met" end;

# ---- throughput ---------------------------------------------------------------

def titles: {
  "Rc5Blocks": "RC5 single blocks",
  "Rc5Cfb8": "RC5 8-bit CFB, 64 KiB",
  "Rc5Cfb8Decrypt": "RC5 8-bit CFB decryption, 64 KiB",
  "Sha1/64": "SHA-1, 64 bytes",
  "Sha1/1048576": "SHA-1, 1 MiB",
  "Encodebin1MiB": "encodebin (RC5 8-bit CFB and base64), 1 MiB"
};
def title: titles[.] // .;

# The least share of the fastest oracle each row must reach.
def goal:
  if test("^Rc5(Blocks|Cfb8)") then 1.0
  elif test("^(Sha1|SHA1)(/|$)") then 0.8
  else 0.7 end;

# One table row per key: ours, the fastest oracle, the ratio and the goal.
def throughput:
  rows | map(
    (map(select(.side | ours)) | first) as $o
    | (map(select(.side | ours | not)) | max_by(.bytes_per_second)) as $f
    | (.[0].key) as $k
    | if $o == null then empty
      elif $f == null then
        {key: $k, ours: ($o.bytes_per_second | mib), oracle: null, status: "no oracle"}
      else
        ($o.bytes_per_second / $f.bytes_per_second) as $ratio
        | {key: $k, ours: ($o.bytes_per_second | mib), oracle: ($f.side | oracle_name),
           oracle_rate: ($f.bytes_per_second | mib), ratio: $ratio, goal: ($k | goal),
           status: status($ratio >= ($k | goal))}
      end);

def throughput_table:
  "| Benchmark | Ours (MiB/s) | Fastest oracle (MiB/s) | Ours / oracle | Goal | |",
  "|---|--:|--:|--:|--:|---|",
  (.[] | if .oracle == null then
      "| \(.key | title) | \(.ours | fixed(1)) | none | | | no oracle |"
    else
      "| \(.key | title) | \(.ours | fixed(1)) | \(.oracle_rate | fixed(1)) (\(.oracle)) | \(.goal as $g | .ratio | near($g)) | at least \(.goal | fixed(2)) | \(.status) |"
    end);

# ---- big integers -------------------------------------------------------------

def bigint_table:
  "| Benchmark | Ours (ms) | GMP (ms) | Ours / GMP (time) |",
  "|---|--:|--:|--:|",
  (rows[] | (map(select(.side | ours)) | first) as $o | (map(select(.side == "Gmp")) | first) as $g
   | select($o != null and $g != null)
   | "| \(.[0].key) | \($o.real_time | fixed(3)) | \($g.real_time | fixed(3)) | \(($o.real_time / $g.real_time) | fixed(2)) |");

# ---- install against plain append ---------------------------------------------

# Per (N, n): the fastest and the median run of each side, in ms.
def patch_sizes:
  map(. + {fields: (.name | clean | split("/"))})
  | map(select(.fields[0] == "Install" or .fields[0] == "PlainAppend"))
  | group_by(.fields[1:3])
  | map((.[0].fields[1] | tonumber) as $N | (.[0].fields[2] | tonumber) as $n
        | (map(select(.fields[0] == "Install") | .real_time)) as $i
        | (map(select(.fields[0] == "PlainAppend") | .real_time)) as $p
        | {N: $N, n: $n, runs: ($i | length),
           install: ($i | min), install_median: ($i | median),
           append: ($p | min), append_median: ($p | median)}
        | . + {ratio: (.install / .append), overhead: (.install - .append),
               goal: (if $N >= 100000 then 1.5 else 1.3 end)});

# The peak memory of the install that moves streams, beside its data block.
def install_memory:
  map(select(.name | clean | startswith("InstallMemory")))
  | {block: (.[0].data_block_mib // 0), peak: (map(.peak_mib) | max), runs: length}
  | . + {ratio: (if .block > 0 then .peak / .block else 0 end)};

def entries: if . >= 1000000 then "\(. / 1000000 | fixed(0))M" elif . >= 1000 then "\(. / 1000 | fixed(0))k" else tostring end;

def install_table:
  "| Archive entries N | Patch entries n | Install (ms) | Plain append (ms) | Install / append | Goal | |",
  "|--:|--:|--:|--:|--:|--:|---|",
  (map(select(.n == 10000)) | sort_by(.N) | .[]
   | "| \(.N | entries) | \(.n | entries) | \(.install | fixed(1)) (median \(.install_median | fixed(1))) | \(.append | fixed(1)) (median \(.append_median | fixed(1))) | \(.goal as $g | .ratio | near($g)) | at most \(.goal | fixed(2)) | \(status(.ratio <= .goal)) |");

# Growth from one size to the next (tenfold steps): linear when the install
# grows at most as fast as the size, or as the plain append of the same data
# where moving the data itself grows faster, with 2 x for noise. A cost that
# grew with the square of the size would grow a hundredfold a step.
def factors($side): . as $s | [range(1; length) | $s[.][$side] / $s[. - 1][$side]];
def linear($by):
  . as $s | [range(1; length)
    | ($s[.].install / $s[. - 1].install) <= 2 * ([$s[.][$by] / $s[. - 1][$by], $s[.].append / $s[. - 1].append] | max)]
  | all;

def growth_table($sizes):
  ($sizes | map(select(.n == 10000)) | sort_by(.N)) as $byN
  | ($sizes | map(select(.N == 100000)) | sort_by(.n)) as $byn
  | "| Growth | Sizes | Install (ms) | Plain append (ms) | Install grew | Append grew | Linear |",
    "|---|---|--:|--:|--:|--:|---|",
    ([["in N, n = 10k", $byN, "N"], ["in n, N = 100k", $byn, "n"]][]
     | .[0] as $what | .[1] as $s | .[2] as $by
     | "| \($what) | \($s | map(.[$by] | entries) | join(", ")) | \($s | map(.install | fixed(1)) | join(", ")) | \($s | map(.append | fixed(1)) | join(", ")) | \($s | factors("install") | map(fixed(1) + " x") | join(", ")) | \($s | factors("append") | map(fixed(1) + " x") | join(", ")) | \(if $s | linear($by) then "yes" else "no" end) |");

# ---- generation ---------------------------------------------------------------

def generation:
  map(select(.name | clean | split("/")[0] == "Generate"))
  | map(. + {threads_arg: (.name | clean | split("/")[1])})
  | (map(select(.threads_arg == "0"))) as $all | (map(select(.threads_arg == "1"))) as $one
  | {all: ($all | map(.real_time) | min), one: ($one | map(.real_time) | min),
     threads: ($all[0].threads // 0), patch: ($all[0].patch_mib // 0),
     peak_all: ($all | map(.peak_rss_mib) | max), peak_one: ($one | map(.peak_rss_mib) | max), runs: ($all | length)}
  | . + {speedup: (.one / .all), memory: (.peak_all / .patch)};

# ---- memory of loading, converting and large generations ----------------------

# Per benchmark: the highest peak of its runs, against the data it holds
# (loading, converting) or against a fixed ceiling (the large generation).
def memory_rows($lc; $gen):
  ($lc | map(. + {what: (.name | clean | split("/")[0])})) as $runs
  | ($gen | map(select(.name | clean | split("/")[0] == "GenerateLarge"))) as $large
  | [(["Load", "loading a 256 MiB patch of 4 KiB streams", "the loaded entries' data"],
      ["Convert", "converting an old patch of the same streams", "its data block"])
     | .[0] as $w | .[1] as $title | .[2] as $of
     | ($runs | map(select(.what == $w))) as $r
     | select($r | length > 0)
     | ($r | map(.peak_rss_mib) | max) as $peak | ($r[0].data_mib) as $data
     | {what: $title, peak: $peak, against: "\($data | fixed(1)) MiB (\($of))", ratio: ($peak / $data),
        goal: "at most 1.20 x", status: status($peak / $data <= 1.2)}]
    + [$large | select(length > 0)
       | (map(.peak_rss_mib) | max) as $peak
       | {what: "generating from 8 files of 128 MiB, \(.[0].threads) threads", peak: $peak,
          against: "patch \(.[0].patch_mib | fixed(1)) MiB", ratio: null, goal: "under 600 MiB",
          status: status($peak < 600)}];

def memory_table:
  "| Work | Peak memory (MiB) | Against | Peak / data | Goal | |",
  "|---|--:|--:|--:|--:|---|",
  (.[] | "| \(.what) | \(.peak | fixed(1)) | \(.against) | \(if .ratio == null then "" else .ratio | near(1.2) end) | \(.goal) | \(.status) |");

# ---- the page -----------------------------------------------------------------

(runs("ciphers1_bench") + runs("ciphers2_bench") + runs("ciphers3_bench") + runs("crypto_bench") | throughput) as $ciphers
| (runs("digests_bench") | throughput) as $digests
| (runs("patch_bench") | patch_sizes) as $sizes
| (runs("generate_bench") | generation) as $gen
| memory_rows(runs("load_convert_bench"); runs("generate_bench")) as $memory_rows
| (runs("patch_bench") | install_memory) as $install_memory
| ([$ciphers[], $digests[] | select(.status != "no oracle") | {what: (.key | title), status}]
   + [$sizes[] | select(.n == 10000) | {what: "install into \(.N | entries) entries", status: status(.ratio <= .goal)}]
   + [{what: "install peak memory", status: status($install_memory.ratio <= 1.2)}]
   + [{what: "generation speed-up", status: status($gen.speedup >= 5)},
      {what: "generation peak memory", status: status($gen.memory <= 2)}]
   + [$memory_rows[] | {what: "peak memory of \(.what)", status}]) as $goals
| ($goals | map(select(.status == "not met") | .what)) as $missed
| ([.[].context.load_avg[0]] | max) as $load
|
"# Performance",
"",
"This page is written by `make bench`, which runs every benchmark in `bench/` (Release, native, `build/bench`) and regenerates the tables below from their JSON output (`build/bench/results/`). Do not edit it by hand.",
"",
"- Date of the run: \($date)",
"- CPU: \($cpu), \($cores) cores; \($memory) of memory; Linux \($kernel)",
"- Compiler: \($compiler)",
"- Oracles: \($oracles)",
"- Load on the machine from other work when each benchmark started (1-minute load average): up to \($load | fixed(1)). The machine may be shared, so figures move from run to run; each comparison is made inside one run.",
"",
"Goals met: \($goals | map(select(.status == "met")) | length) of \($goals | length).\(if ($missed | length) > 0 then " Not met: " + ($missed | join("; ")) + "." else "" end)",
"",
"## Ciphers",
"",
"Throughput of every cipher beside the fastest oracle library that has it, in the same run (`ciphers1_bench`, `ciphers2_bench`, `ciphers3_bench`, `crypto_bench`). Goal: at least 0.7 of the fastest oracle; RC5 single blocks and RC5 8-bit CFB at least 1.0 of Crypto++.",
"",
($ciphers | throughput_table),
"",
"## Digests",
"",
"Throughput over 1 MiB beside Crypto++, Botan and OpenSSL (`digests_bench`; SHA-1 at 64 bytes and 1 MiB also in the cipher table). Goal: at least 0.7 of the fastest oracle; SHA-1 at least 0.8.",
"",
($digests | throughput_table),
"",
"## Big integers",
"",
"2048-bit modular exponentiation (odd modulus as in an RSA signature, even modulus through the general path) and decimal conversion beside GMP (`bigint_bench`). No goal: the figures only.",
"",
(runs("bigint_bench") | bigint_table),
"",
"## Installing a patch",
"",
"A 10,000-entry patch of 4 KiB streams installed into archives of N entries, against a plain append of the same data block to a copy of the same archive (`patch_bench`). Both sides open the patch, read its data block into memory, append it to the archive and flush it. Each side has its own copy of the archive, put back as built (and flushed) before every run with the clock stopped; it stays in the page cache, as an archive the game has just read. The runs of both sides are interleaved in random order; times are the fastest of \($sizes[0].runs) runs (the median in brackets). Goal: the install takes at most 1.3 times the plain append, 1.5 times from N = 100k on.",
"",
($sizes | install_table),
"",
"Growth, from the fastest runs, each step tenfold. Linear: the install grows at most as fast as the size, or as the plain append where moving the data itself grows faster, with 2 x for noise; a cost growing with the square of the size would grow a hundredfold a step. At N = 10k the patch re-points every entry, one run of neighbours written at once; from N = 100k on it re-points every 10th or 100th entry: neighbours less than a 4 KiB page apart are written as one span (every 10th entry), farther ones each on their own (every 100th).",
"",
growth_table($sizes),
"",
"Peak memory of an install that moves streams: a 256 MiB patch of 4 KiB streams into a 20,000-entry archive, replacing every other entry and adding the rest of its names, whose room reaches past the archive's end so that every stream not replaced moves behind the data block (`patch_bench`, InstallMemory); the growth of the process's resident size during the install, the largest of \($install_memory.runs) runs. Goal: at most 1.2 times the data block.",
"",
"| Measure | Value | Goal | |",
"|---|--:|--:|---|",
"| Data block (MiB) | \($install_memory.block | fixed(1)) | | |",
"| Peak memory (MiB) | \($install_memory.peak | fixed(1)) | | |",
"| Peak memory / data block | \($install_memory.ratio | near(1.2)) | at most 1.20 | \(status($install_memory.ratio <= 1.2)) |",
"",
"## Generating a patch",
"",
"A patch from 2,000 files of 100 KiB of mixed compressible data, one compressing thread against one per core (`generate_bench`); times are the fastest of \($gen.runs) runs, memory the process's peak resident size during a run. Goals: at least 5 times faster on 8 cores; peak memory at most 2 times the patch.",
"",
"| Measure | Value | Goal | |",
"|---|--:|--:|---|",
"| One thread (ms) | \($gen.one | fixed(1)) | | |",
"| \($gen.threads) threads (ms) | \($gen.all | fixed(1)) | | |",
"| Speed-up | \($gen.speedup | near(5)) | at least 5.00 on 8 cores | \(status($gen.speedup >= 5)) |",
"| Patch (MiB) | \($gen.patch | fixed(1)) | | |",
"| Peak memory, \($gen.threads) threads (MiB) | \($gen.peak_all | fixed(1)) | | |",
"| Peak memory, one thread (MiB) | \($gen.peak_one | fixed(1)) | | |",
"| Peak memory / patch | \($gen.memory | near(2)) | at most 2.00 | \(status($gen.memory <= 2)) |",
"",
"## Memory of loading, converting and large generations",
"",
"The process's peak resident size while it loads a patch of 65,536 streams of 4 KiB (256 MiB) into the generate list, converts an old patch of the same streams, and generates a patch from 8 files of 128 MiB of mixed compressible data on every core (`load_convert_bench`, `generate_bench`); the highest of the runs, the program's start-up and the list's rows included. Goals: loading at most 1.2 times the loaded entries' data, converting at most 1.2 times the data block, the large generation under 600 MiB (the rows in flight hold at most a budget of bytes; a file larger than it is compressed alone).",
"",
($memory_rows | memory_table)
