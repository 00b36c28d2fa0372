-- wrk: every request posts the report named by KUF_REPORT as its body.
local file = assert(io.open(os.getenv("KUF_REPORT"), "rb"))
wrk.method = "POST"
wrk.body = file:read("*a")
file:close()
wrk.headers["Content-Type"] = "application/xml"
