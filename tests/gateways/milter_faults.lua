-- An MTA that misbehaves, for the milter on 127.0.0.1:port: case "hangup"
-- drops the connection in the middle of a body, "stall" stops for wait
-- seconds after the envelope (and tells whether the milter kept the
-- connection), "term" sends a whole body, writes the file
-- "marker" and waits wait seconds before the end of the message (the test
-- sends SIGTERM meanwhile). Run with -D port=N -D case=C -D wait=S.
local conn = mt.connect("inet:" .. port .. "@127.0.0.1", 100, 0.05)
if conn == nil then error("cannot connect to the milter") end
if mt.conninfo(conn, "localhost", "127.0.0.1") ~= nil then error("conninfo") end
local f = assert(io.open("docs/ru_leak.txt", "rb"))
local body = f:read("*a"):gsub("\r?\n", "\r\n")
f:close()
mt.macro(conn, SMFIC_MAIL, "i", case)
if mt.mailfrom(conn, "<sender@example.test>") ~= nil then error("mailfrom") end
if case == "stall" then
  mt.sleep(tonumber(wait))
  local ok, result = pcall(mt.header, conn, "Subject", "late")
  if ok and result == nil then
    ok, result = pcall(mt.eoh, conn)
  end
  mt.echo((ok and result == nil) and "stall: still open" or "stall: closed")
  return
end
if mt.header(conn, "Content-Type", "text/plain; charset=windows-1251") ~= nil then error("header") end
if mt.eoh(conn) ~= nil then error("eoh") end
if case == "hangup" then
  mt.bodystring(conn, body:sub(1, 100))
  mt.disconnect(conn, false)
  mt.echo("hangup: done")
  return
end
if mt.bodystring(conn, body) ~= nil then error("body") end
local marker = assert(io.open("marker", "w"))
marker:close()
mt.sleep(tonumber(wait))
if mt.eom(conn) ~= nil then error("eom") end
local out = case .. ": " .. (mt.getreply(conn) == SMFIR_CONTINUE and "continue" or tostring(mt.getreply(conn)))
if mt.eom_check(conn, MT_HDRADD, "X-Tessel-Verdict", "protected") then out = out .. " verdict-header" end
mt.echo(out)
mt.disconnect(conn)
