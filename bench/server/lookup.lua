-- SPDX-License-Identifier: GPL-3.0-or-later
-- wrk script: posts the app's lookup form, spread over 64 videos so the store sees a mix of
-- new and known videos; a few have library subtitles to offer.
-- Pace with the DELAY_MS environment variable (per connection, between requests); 0 = flat out.
local delay_ms = tonumber(os.getenv("DELAY_MS") or "0")
local counter = 0

request = function()
    counter = counter + 1
    local n = counter % 64
    local body = "fileSize=" .. (734003200 + n) .. "&movieHash=" .. string.format("%x", 0x8a3f2c00 + n) ..
        "&fileName=Film+" .. n .. ".mkv&targetLanguageCode=eng&nativeLanguageCode=spa"
    return wrk.format("POST", "/Player/GetSubtitlesToDownload",
        {["Content-Type"] = "application/x-www-form-urlencoded"}, body)
end

response = function(status, headers, body)
    if status ~= 200 then
        io.stderr:write("status " .. status .. "\n")
    end
end

if delay_ms > 0 then
    delay = function() return delay_ms end
end

done = function(summary, latency, requests)
    io.write(string.format("requests/s: %.0f\n", summary.requests / (summary.duration / 1e6)))
    for _, p in pairs({50, 90, 99, 99.9}) do
        io.write(string.format("p%s: %.2f ms\n", p, latency:percentile(p) / 1000))
    end
    io.write(string.format("errors: connect %d read %d write %d status %d timeout %d\n",
        summary.errors.connect, summary.errors.read, summary.errors.write, summary.errors.status,
        summary.errors.timeout))
end
